#include "preferences/HLDateRangeController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "preferences/HLDateRangePane.h"
#include "preferences/HLEditorNotifications.h"
#include "preferences/PSViewController+Hushline_Addons.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLDateRangeController>("HLDateRangeController", {}, [] { return std::make_shared<HLDateRangeController>(); });

}

HLDateRangeController::~HLDateRangeController()
{
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

void HLDateRangeController::loadPane()
{
    auto pane = std::make_shared<HLDateRangePane>();
    pane->initWithFrame(viewFrame());
    pane->setPreferenceSpecifier(specifier());
    std::weak_ptr<HLDateRangeController> weakSelf = std::static_pointer_cast<HLDateRangeController>(shared_from_this());
    NSNotificationCenter::defaultCenter().addObserver(this, kHLProfileAppliedStateChangedNotification, nullptr,
        [weakSelf](const NSNotification& notification) {
            if (auto self = weakSelf.lock())
                self->profileAppliedStateChanged(notification);
        });
    pane->setDelegate(std::static_pointer_cast<PSViewController>(shared_from_this()));
    setPane(pane);
}

std::shared_ptr<HLProfile> HLDateRangeController::profile() const
{
    return specifier() ? specifier()->userInfo().asObject<HLProfile>() : nullptr;
}

void HLDateRangeController::timeChanged()
{
    saveProfile();
}

void HLDateRangeController::saveProfile()
{
    auto record = profile();
    if (!record)
        return;
    if (record->isNewProfile()) {
        NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileDataUpdateNotification);
        return;
    }
    std::weak_ptr<HLDateRangeController> weakSelf = std::static_pointer_cast<HLDateRangeController>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(record, nullptr, [weakSelf](const NSError& error) {
        if (auto self = weakSelf.lock())
            hl_showStoreError(*self, error);
    });
}

void HLDateRangeController::profileAppliedStateChanged(const NSNotification&)
{
    auto record = profile();
    // A new profile is not stored yet: the record with its identifier, if any, is another one.
    if (!record || record->isNewProfile())
        return;
    if (auto stored = HLProfilesManager::sharedManager().profileByIdentifier(record->identifier(), false))
        specifier()->setUserInfo(PlistValue(stored));
}
