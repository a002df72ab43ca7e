#include "core/profile/HLProfile.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/apply/HLSavedState.h"
#include "core/apply/NSObject+Hushline.h"
#include "core/profile/HLProfilesManager.h"
#include "core/HLUtils.h"
#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/celestial/AVController.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/springboard/SBBacklightController.h"
#include "platform/springboard/SpringBoard.h"
#include "platform/springboard/VolumeControl.h"
#include "platform/tonelibrary/TLAlert.h"
#include "platform/uikit/UIApplication.h"

namespace {

constexpr const char* kSavedRingerVolumeKey = HLSavedState::kRingerVolumeKey;
constexpr const char* kSavedPlaybackVolumeKey = HLSavedState::kPlaybackVolumeKey;
constexpr const char* kSavedRingVibrateKey = HLSavedState::kRingVibrateKey;
constexpr const char* kSavedSilentVibrateKey = HLSavedState::kSilentVibrateKey;

constexpr const char* kSpringBoardDomain = "com.apple.springboard";
constexpr const char* kRingVibrateKey = "ring-vibrate";
constexpr const char* kSilentVibrateKey = "silent-vibrate";
constexpr const char* kRingVibrateChanged = "com.apple.springboard.ring-vibrate.changed";
constexpr const char* kSilentVibrateChanged = "com.apple.springboard.silent-vibrate.changed";

constexpr const char* kHideSystemVolumeHUD = "hideSystemVolumeHUD";

// The delays of the timed steps, in seconds.
constexpr double kToneDuration = 1.0;
constexpr double kPauseAfterToneUnlocked = 0.8;
constexpr double kPauseAfterToneLocked = 0.0;
constexpr double kVolumeDisplayReturn = 2.0;
constexpr double kDimAfterWakeUp = 5.0;
// After a revert, the profiles still applied are refreshed once the revert's own timed steps
// (the end tone, its pause and the playback volume: 1.8 s at most) have given the user's state
// back, so that an overlapping profile keeps the phone quiet.
constexpr double kRefreshOthersAfterRevert = 2.0;

void afterDelay(double seconds, dispatch_block_t block)
{
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)), dispatch_get_main_queue(), std::move(block));
}

NSUserDefaults& defaults()
{
    return NSUserDefaults::standardUserDefaults();
}

bool flag(const PlistDictionary& dictionary, const char* key)
{
    auto it = dictionary.find(key);
    return it != dictionary.end() && it->second.boolValue();
}

// Sets the two vibrate settings and tells SpringBoard both changed. The domain is read afresh
// for every write and written back whole: it is also SpringBoard's own defaults domain, where
// the saved volumes and vibrate states live, so writing back an older copy would undo those
// (bring back saved volumes a revert has just removed, or drop vibrate states just saved).
void writeVibrateSettings(bool ring, bool silent)
{
    PlistDictionary domain = defaults().persistentDomainForName(kSpringBoardDomain).value_or(PlistDictionary());
    domain[kRingVibrateKey] = ring;
    domain[kSilentVibrateKey] = silent;
    defaults().setPersistentDomain(domain, kSpringBoardDomain);
    notify_post(kRingVibrateChanged);
    notify_post(kSilentVibrateChanged);
}

void vibrateOnce()
{
    PlistDictionary pattern {
        { "VibePattern", PlistArray { PlistValue(true), PlistValue(300.0) } },
        { "Intensity", PlistValue(1.0f) },
    };
    AudioServicesPlaySystemSoundWithVibration(kSystemSoundID_Vibrate, nullptr, pattern);
}

// Sets the ringer, marking the change as the system's own so that the volume watch does not take
// it for the user's.
void setRingerBySystem(AVSystemController& audio, float volume)
{
    float now = 0.0f;
    if (!audio.getVolume(now, kAVSystemControllerRingtoneCategory) || now != volume)
        hl_noteRingerVolumeSetBySystem(audio, volume);
    audio.setVolumeTo(volume, kAVSystemControllerRingtoneCategory);
}

bool isPhoneLocked()
{
    auto springBoard = SpringBoard::sharedApplication();
    return springBoard && springBoard->isLocked();
}

// The playback step: the media volume, then the volume display back 2.0 s later (a pending
// return of this profile's is replaced).
void setPlaybackVolume(const std::shared_ptr<HLProfile>& profile, float volume)
{
    VolumeControl::sharedVolumeControl()->setMediaVolume(volume);
    cancelPreviousPerformRequestsWithTarget(profile, kHideSystemVolumeHUD);
    performSelector(profile, kHideSystemVolumeHUD, &HLProfile::hideSystemVolumeHUD, kVolumeDisplayReturn);
}

}

void HLProfile::apply()
{
    HLLogInfo("********* applying profile ************");
    HL_TRACE(profileApplied(*this));
    setApplied(true);
    wakeUpScreenIfRequired();
    applySoundSettings(true);
    if (isVibrate())
        vibrate(true);
    if (isShowOnStatusBar())
        showORHideIconsOnSpringBoard(true);
    if (isDnDEnabled())
        enableORDisableDnD(true);
}

void HLProfile::revert(bool quiet)
{
    HLLogInfo("********* reverting profile %s (quiet: %d) ************", m_title.value_or("").c_str(), quiet);
    HL_TRACE(profileReverted(*this, quiet));
    setApplied(false);
    setSilent(quiet);
    wakeUpScreenIfRequired();
    applySoundSettings(false);
    vibrate(false);
    showORHideIconsOnSpringBoard(false);
    enableORDisableDnD(false);
    setVolumeAlertShown(false);
    setPreserveVolumeChange(false);
    setNewRingtoneVolume(0.0);
    HLSavedState::removeVolumes();
    afterDelay(kRefreshOthersAfterRevert, [revert = m_returningRevert] {
        HLProfilesManager::sharedManager().refreshAppliedProfiles();
        HLSavedState::returned(revert);
    });
}

void HLProfile::applySoundSettings(bool apply)
{
    auto audio = AVSystemController::sharedAVSystemController();
    hl_setChangedViaHWButtons(*audio, false);

    // A revert still on its way gives the owner's volumes back: those are what the phone had.
    auto returning = HLSavedState::returning();
    if (defaults().objectForKey(kSavedRingerVolumeKey).isNone()) {
        float ringtone = 0.0f;
        if (returning)
            ringtone = returning->ringerVolume;
        else if (!audio->getVolume(ringtone, kAVSystemControllerRingtoneCategory))
            ringtone = 0.0f;
        defaults().setFloat(ringtone, kSavedRingerVolumeKey);
        defaults().synchronize();
    }
    float ringerTarget = apply ? static_cast<float>(m_ringerVolume) : defaults().floatForKey(kSavedRingerVolumeKey);

    // Both targets are read now: a revert removes the saved volumes before a playback step that
    // waits for the end tone runs.
    float mediaVolume = VolumeControl::sharedVolumeControl()->getMediaVolume();
    if (defaults().objectForKey(kSavedPlaybackVolumeKey).isNone()) {
        defaults().setFloat(returning ? returning->playbackVolume : mediaVolume, kSavedPlaybackVolumeKey);
        defaults().synchronize();
    }
    float playbackTarget = apply ? static_cast<float>(m_playBackVolume) : defaults().floatForKey(kSavedPlaybackVolumeKey);
    if (!apply)
        m_returningRevert = HLSavedState::noteReturning({ ringerTarget, playbackTarget });

    auto self = std::static_pointer_cast<HLProfile>(shared_from_this());
    auto playback = [self, playbackTarget] { setPlaybackVolume(self, playbackTarget); };
    bool toneFirst = m_playAlert && apply && !m_silent;

    UIApplication::sharedApplication()->setSystemVolumeHUDEnabled(false);
    if (toneFirst) {
        // The start tone sounds at the user's volume, before the phone goes quiet.
        playAlertToneFromIdentifier([audio, ringerTarget, playback](bool) {
            setRingerBySystem(*audio, ringerTarget);
            playback();
        });
        return;
    }
    setRingerBySystem(*audio, ringerTarget);
    if (!apply && m_playAlert && !m_silent)
        playAlertToneFromIdentifier([playback](bool) { playback(); });
    else
        playback();
}

void HLProfile::playAlertToneFromIdentifier(std::function<void(bool)> completion)
{
    int64_t type = HLUtils::isIOS10() ? 1 : 0;
    auto alert = TLAlert::initWithType(type, m_alertToneIdentifier, std::nullopt);
    if (alert->respondsToSelector("startPlayingRepeatedly"))
        alert->startPlayingRepeatedly();
    else if (TLAlert::classRespondsToSelector("playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:"))
        TLAlert::playToneAndVibrationForType(type, m_alertToneIdentifier, std::nullopt);
    else if (TLAlert::classRespondsToSelector("_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:"))
        TLAlert::_playToneAndVibrationForType(type, m_alertToneIdentifier, std::nullopt, false);

    afterDelay(kToneDuration, [alert, completion = std::move(completion)] {
        if (alert->respondsToSelector("stop"))
            alert->stop();
        if (!completion)
            return;
        afterDelay(isPhoneLocked() ? kPauseAfterToneLocked : kPauseAfterToneUnlocked, [completion] { completion(true); });
    });
}

void HLProfile::hideSystemVolumeHUD()
{
    dispatch_async(dispatch_get_main_queue(), [] { UIApplication::sharedApplication()->setSystemVolumeHUDEnabled(true); });
}

void HLProfile::vibrate(bool on)
{
    PlistDictionary domain = defaults().persistentDomainForName(kSpringBoardDomain).value_or(PlistDictionary());
    bool ringNow = flag(domain, kRingVibrateKey);
    bool silentNow = flag(domain, kSilentVibrateKey);
    HLLogInfo("oldRingVibrateState: %d", ringNow);
    if (ringNow && (m_vibrate || on))
        vibrateOnce();

    PlistValue savedRing = defaults().objectForKey(kSavedRingVibrateKey);
    PlistValue savedSilent = defaults().objectForKey(kSavedSilentVibrateKey);
    if (on) {
        // What the phone had before the first vibrating profile is what the revert gives back.
        if (savedRing.isNone()) {
            defaults().setBool(ringNow, kSavedRingVibrateKey);
            defaults().setBool(silentNow, kSavedSilentVibrateKey);
            defaults().synchronize();
        }
        if (!ringNow || !silentNow)
            writeVibrateSettings(true, true);
        return;
    }
    // Nothing saved: the system did not switch vibration, so the user's settings stay as they are.
    if (savedRing.isNone())
        return;
    bool ringBack = savedRing.boolValue();
    bool silentBack = savedSilent.isNone() ? silentNow : savedSilent.boolValue();
    HLSavedState::removeVibrate();
    if (ringBack != ringNow || silentBack != silentNow)
        writeVibrateSettings(ringBack, silentBack);
}

void HLProfile::wakeUpScreenIfRequired()
{
    if (!m_wakeUpScreen || m_silent)
        return;
    auto backlight = SBBacklightController::sharedInstance();
    if (!HLUtils::isIOS10()) {
        if (backlight->respondsToSelector("_undimFromSource:"))
            backlight->_undimFromSource(1);
        afterDelay(kDimAfterWakeUp, [backlight] {
            if (backlight->respondsToSelector("_lockScreenDimTimerFired"))
                backlight->_lockScreenDimTimerFired();
        });
        return;
    }
    bool wasOn = backlight->respondsToSelector("screenIsOn") && backlight->screenIsOn();
    if (backlight->respondsToSelector("turnOnScreenFullyWithBacklightSource:"))
        backlight->turnOnScreenFullyWithBacklightSource(1);
    else if (backlight->respondsToSelector("setBacklightFactor:source:"))
        backlight->setBacklightFactor(1.0f, 1);
    if (wasOn)
        return;
    afterDelay(kDimAfterWakeUp, [backlight] {
        if (backlight->respondsToSelector("_setBacklightFactorToZeroForProx"))
            backlight->_setBacklightFactorToZeroForProx();
        else if (backlight->respondsToSelector("_startFadeOutAnimationFromLockSource:"))
            backlight->_startFadeOutAnimationFromLockSource(1);
    });
}

void HLProfile::refreshSoundSettingsIfRequired()
{
    if (!m_applied) {
        HLLogError("******* Profile is not applied, hence not checking on Sound related settings.");
        return;
    }
    setSilent(true);

    float systemVolume = 0.1f;
    if (NSClassFromString("AVController")) {
        systemVolume = AVController::avController()->volume();
    } else {
        float volume = 0.0f;
        if (AVSystemController::sharedAVSystemController()->getVolume(volume, kAVSystemControllerSystemCategory))
            systemVolume = volume;
    }
    float mediaVolume = VolumeControl::sharedVolumeControl()->getMediaVolume();
    HLLogInfo("System volume: %f, media volume: %f; profile ringer volume: %f, playback volume: %f", systemVolume, mediaVolume,
        m_ringerVolume, m_playBackVolume);

    // The phone keeps volumes as floats: compared at that precision, a volume the profile set
    // matches what the phone reports.
    bool soundReapplied = systemVolume != static_cast<float>(m_ringerVolume) || mediaVolume != static_cast<float>(m_playBackVolume);
    HL_TRACE(profileRefreshed(*this, soundReapplied));
    if (soundReapplied)
        applySoundSettings(true);
    // A profile without vibration gives back what the system switched, unless an overlapping
    // profile still wants it; the user's own settings are never touched.
    if (m_vibrate)
        vibrate(true);
    else if (!isVibrationWantedByAnotherAppliedProfile())
        vibrate(false);
    showORHideIconsOnSpringBoard(m_showOnStatusBar);
    updateDNDStatus();
    setSilent(false);
}
