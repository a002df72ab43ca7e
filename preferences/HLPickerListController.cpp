#include "preferences/HLPickerListController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/libvelloq/PSViewController+Velloq.h"
#include "platform/preferences/PSSpecifier.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLNavigationChrome.h"
#include "preferences/HLPickerUserInfo.h"
#include "preferences/HLVersionFooter.h"
#include "preferences/PSViewController+Hushline_Addons.h"

HLPickerListController::~HLPickerListController()
{
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

void HLPickerListController::viewDidLoad()
{
    VQMiscSettingsViewController::viewDidLoad();
    std::weak_ptr<HLPickerListController> weakSelf = std::static_pointer_cast<HLPickerListController>(shared_from_this());
    NSNotificationCenter::defaultCenter().addObserver(this, kHLProfileAppliedStateChangedNotification, nullptr,
        [weakSelf](const NSNotification& notification) {
            if (auto self = weakSelf.lock())
                self->profileAppliedStateChanged(notification);
        });
}

std::shared_ptr<HLProfile> HLPickerListController::profile() const
{
    return hl_pickerProfile(*this);
}

void HLPickerListController::saveProfile()
{
    auto edited = profile();
    if (!edited || edited->isNewProfile())
        return;
    std::weak_ptr<HLPickerListController> weakSelf = std::static_pointer_cast<HLPickerListController>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(edited, nullptr, [weakSelf](const NSError& error) {
        if (auto self = weakSelf.lock())
            hl_showStoreError(*self, error);
    });
}

void HLPickerListController::profileAppliedStateChanged(const NSNotification&)
{
    hl_refetchPickerProfile(*this);
    reloadSpecifiers();
}

std::shared_ptr<PSSpecifier> HLPickerListController::copyRightSpecifier()
{
    return vq__specifierByIdentifier(m_specifiers, "CopyRightHeader");
}

std::string HLPickerListController::copryRightSpecifierText(long year)
{
    return hl_versionFooter(year);
}

std::shared_ptr<PSSpecifier> HLPickerListController::copyRightGroup()
{
    auto footer = PSSpecifier::emptyGroupSpecifier();
    footer->setIdentifier("CopyRightHeader");
    return footer;
}

void HLPickerListController::bindToSelf(const std::shared_ptr<PSSpecifier>& row)
{
    std::weak_ptr<HLPickerListController> weakSelf = std::static_pointer_cast<HLPickerListController>(shared_from_this());
    row->setGetter([weakSelf](const auto& specifier) {
        auto self = weakSelf.lock();
        return self ? self->readPreferenceValue(specifier) : PlistValue();
    });
    row->setSetter([weakSelf](const PlistValue& value, const auto& specifier) {
        if (auto self = weakSelf.lock())
            self->setPreferenceValue(value, specifier);
    });
}
