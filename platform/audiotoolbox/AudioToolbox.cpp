#include "platform/audiotoolbox/AudioToolbox.h"

#include "platform/device/Device.h"

void AudioServicesPlaySystemSoundWithVibration(SystemSoundID sound, const void*, const PlistDictionary& vibratePattern)
{
    Device::Vibration vibration;
    vibration.systemSound = sound;
    vibration.pattern = vibratePattern;
    Device::current().vibrate(std::move(vibration));
}
