#include "preferences/HLPreferencesStartup.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSNotificationCenter.h"

namespace {

void appliedStateChanged(CFNotificationCenterRef, void*, const std::string&, const void*, const void*)
{
    HLProfilesManager::sharedManager().reloadProfiles();
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
}

void profilesChanged(CFNotificationCenterRef, void*, const std::string&, const void*, const void*)
{
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
}

}

void HLPreferencesRegisterDarwinObservers()
{
    auto center = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(center, nullptr, appliedStateChanged, kHLProfileAppliedStateChangedNotification, nullptr,
        CFNotificationSuspensionBehaviorDeliverImmediately);
    for (const char* name : { kHLProfileAddedNotification, kHLProfileChangedNotification, kHLProfileDeletedNotification })
        CFNotificationCenterAddObserver(center, nullptr, profilesChanged, name, nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
}
