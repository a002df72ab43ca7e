#pragma once

// What the phone had before the first of possibly overlapping profiles was applied: kept in the
// home screen's standard user defaults from the first apply that changes it until the revert that
// gives it back, so that the user's own values survive other profiles and restarts.
struct HLSavedState {
    static constexpr const char* kRingerVolumeKey = "com.velloq.hushline-ringtone";
    static constexpr const char* kPlaybackVolumeKey = "com.velloq.hushline-playBackVolume";
    static constexpr const char* kRingVibrateKey = "com.velloq.hushline-ring-vibrate";
    static constexpr const char* kSilentVibrateKey = "com.velloq.hushline-silent-vibrate";
    static constexpr const char* kDoNotDisturbKey = "com.velloq.hushline-do-not-disturb";

    static void removeVolumes();
    static void removeVibrate();
    static void removeDoNotDisturb();
    // Everything above: nothing is left applied whose revert would need it.
    static void removeAll();
    // Whether anything above is kept: a profile was applied and not reverted since.
    static bool isAnySaved();
};
