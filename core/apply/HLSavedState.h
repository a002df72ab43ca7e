#pragma once

#include <cstdint>
#include <optional>

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

    // The owner's volumes that a revert is giving back. The revert removes the saved volumes at
    // once, but its volume steps may still wait for the end tone; a profile applied meanwhile
    // must save these, not the volumes it happens to find. Kept in memory from the revert's
    // start until the profiles still applied have been refreshed after it.
    struct Returning {
        float ringerVolume { 0 };
        float playbackVolume { 0 };
    };
    // Notes a revert giving these back; the number names this revert for `returned`.
    static uint64_t noteReturning(const Returning&);
    static std::optional<Returning> returning();
    // Saves the volumes being given back as the saved volumes, where none are saved.
    static void keepReturningVolumes();
    // The revert's steps are done (a later revert's note stays).
    static void returned(uint64_t revert);
};
