#pragma once

#include "platform/foundation/PlistValue.h"

#include <cstdint>

using SystemSoundID = uint32_t;

// The system sound that only vibrates.
inline constexpr SystemSoundID kSystemSoundID_Vibrate = 4095;

// Plays a system sound with a vibration pattern ({"VibePattern": [on, milliseconds, ...],
// "Intensity": 0.0 ... 1.0}); the simulated phone records the vibration with its pattern.
void AudioServicesPlaySystemSoundWithVibration(SystemSoundID sound, const void* argument, const PlistDictionary& vibratePattern);
