#pragma once

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// ToneLibrary's alert: a tone (and vibration) of an alert type. What it can do depends on the
// OS version of the simulated phone:
//   7.x      nothing plays: none of the playing methods exists, nor `stop`;
//   8.x      the class method _playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:
//            shouldOverrideMasterSwitches:
//   9.x      also the class method playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:
//   10-13    also the instance methods startPlayingRepeatedly and stop.
// Sending a method that the version lacks throws (the phone raises an exception), so callers
// ask respondsToSelector / classRespondsToSelector first. Every tone played is recorded by the
// device with the ringer volume it sounded at.
class TLAlert : public NSObject {
public:
    // [[TLAlert alloc] initWithType:toneIdentifier:vibrationIdentifier:]; no tone identifier
    // means the type's default tone.
    static std::shared_ptr<TLAlert> initWithType(int64_t type, std::optional<std::string> toneIdentifier,
        std::optional<std::string> vibrationIdentifier);
    TLAlert(int64_t type, std::optional<std::string> toneIdentifier, std::optional<std::string> vibrationIdentifier);

    // "startPlayingRepeatedly", "stop".
    bool respondsToSelector(const std::string& selector) const;
    // "playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:",
    // "_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:".
    static bool classRespondsToSelector(const std::string& selector);

    // Plays the tone until stop.
    void startPlayingRepeatedly();
    void stop();

    static void playToneAndVibrationForType(int64_t type, const std::optional<std::string>& toneIdentifier,
        const std::optional<std::string>& vibrationIdentifier);
    static void _playToneAndVibrationForType(int64_t type, const std::optional<std::string>& toneIdentifier,
        const std::optional<std::string>& vibrationIdentifier, bool shouldOverrideMasterSwitches);

    int64_t type() const { return m_type; }
    const std::optional<std::string>& toneIdentifier() const { return m_toneIdentifier; }

private:
    int64_t m_type;
    std::optional<std::string> m_toneIdentifier;
    std::optional<std::string> m_vibrationIdentifier;
};
