#include "preferences/HushlineAlertToneController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/uikit/UIView.h"
#include "preferences/HLEditorNotifications.h"
#include "preferences/HLPickerUserInfo.h"
#include "preferences/HushlineTKTonePickerViewController.h"
#include "preferences/PSViewController+Hushline_Addons.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineAlertToneController>(
    "HushlineAlertToneController", {}, [] { return std::make_shared<HushlineAlertToneController>(); });

// The height of the status bar and navigation bar above the tone list.
constexpr double kBarsHeight = 64;

}

HushlineAlertToneController::~HushlineAlertToneController()
{
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

std::shared_ptr<HLProfile> HushlineAlertToneController::profile() const
{
    return hl_pickerProfile(*this);
}

void HushlineAlertToneController::loadView()
{
    HushlineUIToneController::loadView();
    m_picker = std::make_shared<HushlineTKTonePickerViewController>();
    m_picker->initWithAlertType(kAlertType);
    m_picker->setShowsVibrations(false);
    m_picker->setShowsStoreButtonInNavigationBar(true);
    m_picker->setNoneAtTop(true);
    if (m_picker->respondsToSelector("setShowsToneStore:"))
        m_picker->setShowsToneStore(false);
    auto edited = profile();
    auto tone = edited && edited->alertToneIdentifier() ? *edited->alertToneIdentifier() : std::string(kDefaultToneIdentifier);
    m_picker->setSelectedToneIdentifier(tone);
    m_picker->setDefaultToneIdentifier(tone);
    m_picker->setDelegate(std::dynamic_pointer_cast<TKTonePickerViewControllerDelegate>(shared_from_this()));
    setTonePickerViewController(m_picker);
}

void HushlineAlertToneController::viewDidLoad()
{
    HushlineUIToneController::viewDidLoad();
    if (m_picker) {
        auto frame = m_picker->view()->frame();
        m_picker->view()->setFrame(CGRect { frame.x, kBarsHeight, frame.width, frame.height - kBarsHeight });
    }
    std::weak_ptr<HushlineAlertToneController> weakSelf = std::static_pointer_cast<HushlineAlertToneController>(shared_from_this());
    NSNotificationCenter::defaultCenter().addObserver(this, kHLProfileAppliedStateChangedNotification, nullptr,
        [weakSelf](const NSNotification& notification) {
            if (auto self = weakSelf.lock())
                self->profileAppliedStateChanged(notification);
        });
}

void HushlineAlertToneController::tonePickerViewControllerSelectedToneWithIdentifier(TKTonePickerViewController& picker,
    const std::optional<std::string>& identifier)
{
    auto edited = profile();
    if (!edited)
        return;
    edited->setAlertToneIdentifier(identifier ? identifier : picker.defaultToneIdentifier());
    // The entry for no tone keeps the profile's tone: the checkmark goes back to it.
    showStoredTone();
    saveProfile();
}

void HushlineAlertToneController::showStoredTone()
{
    auto edited = profile();
    if (m_picker && edited)
        m_picker->setSelectedToneIdentifier(edited->alertToneIdentifier().value_or(kDefaultToneIdentifier));
}

void HushlineAlertToneController::saveProfile()
{
    auto edited = profile();
    if (!edited)
        return;
    auto& center = NSNotificationCenter::defaultCenter();
    if (edited->isNewProfile()) {
        center.postNotificationName(kHLProfileDataUpdateNotification);
        return;
    }
    std::weak_ptr<HushlineAlertToneController> weakSelf = std::static_pointer_cast<HushlineAlertToneController>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(edited, [] {
        NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
    }, [weakSelf](const NSError& error) {
        if (auto self = weakSelf.lock())
            hl_showStoreError(*self, error);
    });
}

void HushlineAlertToneController::profileAppliedStateChanged(const NSNotification&)
{
    hl_refetchPickerProfile(*this);
    showStoredTone();
}
