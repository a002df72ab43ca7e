#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "platform/foundation/DarwinNotifyCenter.h"


// The update that saves a record without announcing it (how a profile's applied state is kept),
// and announces the usual change when asked to.
void HLProfilesManager::updateProfile(const std::shared_ptr<HLProfile>& profile, bool shouldPostNotification, Success success, Failure failure)
{
    if (!stageUpdate(profile, failure))
        return;
    const char* name = shouldPostNotification ? kHLProfileChangedNotification : "";
    if (saveAllProfilesToDisk(profile, shouldPostNotification, name)) {
        HLLogInfo("HLProfilesManager+Hushline -> Profile updated successfully.");
        if (success)
            success();
    } else if (failure) {
        failure(storeError("Unable to save profiles to disk."));
    }
}

void HLProfile::setApplied(bool applied)
{
    m_applied = applied;
    auto self = std::static_pointer_cast<HLProfile>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(self, false, [] {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileAppliedStateChangedNotification, nullptr, nullptr, true);
    }, nullptr);
}

void HLProfile::setSilent(bool silent)
{
    HLLogInfo("Quiet flag of profile %s was %d", m_title.value_or("").c_str(), m_silent);
    m_silent = silent;
    HLLogInfo("Quiet flag of profile %s is now %d", m_title.value_or("").c_str(), m_silent);
}
