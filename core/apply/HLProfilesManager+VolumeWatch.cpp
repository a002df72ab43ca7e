#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/apply/HLSavedState.h"
#include "core/apply/NSObject+Hushline.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIAlertView.h"

namespace {

constexpr const char* kSavedRingerVolumeKey = HLSavedState::kRingerVolumeKey;

std::string localized(const std::string& key)
{
    return NSBundle::mainBundle()->localizedStringForKey(key, "", "");
}

std::string formatted(std::string format, const std::string& title)
{
    auto at = format.find("%@");
    if (at != std::string::npos)
        format.replace(at, 2, title);
    return format;
}

// The system's own ringer change (applying, reverting or refreshing a profile) is not the
// user's: no button was pressed since the system set the ringer, and the notice carries a volume
// the system set. Every other ringer change, a button press or the volume display, is the
// user's, on every version.
bool isSystemsOwnRingerChange(float volume)
{
    auto controller = AVSystemController::sharedAVSystemController();
    return controller && !hl_ChangedViaHWButtons(*controller) && hl_takeRingerVolumeSetBySystem(*controller, volume);
}

}

std::shared_ptr<HLProfile> HLProfilesManager::firstAppliedProfile()
{
    for (const auto& profile : activeProfiles())
        if (profile->isApplied())
            return profile;
    return nullptr;
}

void HLProfilesManager::volumeChanged(const NSNotification& notification)
{
    auto category = notification.userInfo.find("AVSystemController_AudioCategoryNotificationParameter");
    if (category == notification.userInfo.end() || !category->second.asString() || *category->second.asString() != "Ringtone")
        return;
    auto volume = notification.userInfo.find("AVSystemController_AudioVolumeNotificationParameter");
    float newVolume = volume == notification.userInfo.end() ? 0.0f : volume->second.floatValue();
    if (isSystemsOwnRingerChange(newVolume))
        return;
    HLLogInfo("newVolume: %f", newVolume);

    auto profile = firstAppliedProfile();
    if (!profile)
        return;
    profile->setNewRingtoneVolume(newVolume);
    if (profile->isVolumeAlertShown()) {
        if (profile->shouldPreserveVolumeChange())
            updateVolumeInUserDefaults(profile->newRingtoneVolume());
        return;
    }
    auto alert = UIAlertView::initWithTitle(localized("Information"),
        formatted(localized("You changed ringtone volume of your device while '%@' is active. Do you want to preserve this volume after the profile inactive?"),
            profile->title().value_or("(null)")),
        std::static_pointer_cast<HLProfilesManager>(shared_from_this()), std::nullopt, { localized("Yes, please"), localized("No, thanks") });
    alert->setTag(kVolumePreserveAlertTag);
    m_volumePreserveAlertView = alert;
    alert->show();
    profile->setVolumeAlertShown(true);
}

void HLProfilesManager::alertViewClickedButtonAtIndex(UIAlertView& alertView, long buttonIndex)
{
    if (alertView.tag() != kVolumePreserveAlertTag)
        return;
    auto profile = firstAppliedProfile();
    if (buttonIndex == 0) {
        if (profile) {
            profile->setPreserveVolumeChange(true);
            updateVolumeInUserDefaults(profile->newRingtoneVolume());
        }
    } else if (profile) {
        profile->setPreserveVolumeChange(false);
    }
    m_volumePreserveAlertView.reset();
}

void HLProfilesManager::updateVolumeInUserDefaults(double volume)
{
    HLLogInfo("User updated volume hence storing new volume : %f in user defaults.", volume);
    auto& defaults = NSUserDefaults::standardUserDefaults();
    defaults.setFloat(static_cast<float>(volume), kSavedRingerVolumeKey);
    defaults.synchronize();
}
