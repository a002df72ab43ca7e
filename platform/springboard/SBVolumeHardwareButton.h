#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/substrate/HookableMethod.h"

#include <memory>

// SpringBoard's handling of the volume buttons. The system's press handling moves the ringer by
// one step of 1/16, within 0 ... 1, through the audio system (`AVSystemController`), so the
// volume-change notification follows on a later turn of the main run loop.
class SBVolumeHardwareButton : public NSObject {
public:
    static std::shared_ptr<SBVolumeHardwareButton> sharedInstance();

    static constexpr float kVolumeStep = 1.0f / 16.0f;

    // volumeDecreasePress: / volumeIncreasePress: with the button event (may be null).
    static HookableMethod<void(SBVolumeHardwareButton&, const std::shared_ptr<NSObject>& event)> volumeDecreasePressMethod;
    static HookableMethod<void(SBVolumeHardwareButton&, const std::shared_ptr<NSObject>& event)> volumeIncreasePressMethod;
    void volumeDecreasePress(const std::shared_ptr<NSObject>& event);
    void volumeIncreasePress(const std::shared_ptr<NSObject>& event);
};
