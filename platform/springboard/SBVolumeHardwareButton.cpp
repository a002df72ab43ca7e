#include "platform/springboard/SBVolumeHardwareButton.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/ObjCRuntime.h"

#include <algorithm>
#include <cmath>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBVolumeHardwareButton>("SBVolumeHardwareButton");

// Moves the ringer by `steps` button steps, landing on the step grid so that repeated presses
// reach exactly 0 and 1.
void stepRinger(int steps)
{
    auto controller = AVSystemController::sharedAVSystemController();
    float volume = 0;
    if (!controller->getVolume(volume, kAVSystemControllerRingtoneCategory))
        return;
    float grid = std::round(volume / SBVolumeHardwareButton::kVolumeStep);
    float target = std::clamp((grid + steps) * SBVolumeHardwareButton::kVolumeStep, 0.0f, 1.0f);
    controller->setVolumeTo(target, kAVSystemControllerRingtoneCategory);
}

}

HookableMethod<void(SBVolumeHardwareButton&, const std::shared_ptr<NSObject>&)> SBVolumeHardwareButton::volumeDecreasePressMethod {
    [](SBVolumeHardwareButton&, const std::shared_ptr<NSObject>&) { stepRinger(-1); }
};

HookableMethod<void(SBVolumeHardwareButton&, const std::shared_ptr<NSObject>&)> SBVolumeHardwareButton::volumeIncreasePressMethod {
    [](SBVolumeHardwareButton&, const std::shared_ptr<NSObject>&) { stepRinger(1); }
};

std::shared_ptr<SBVolumeHardwareButton> SBVolumeHardwareButton::sharedInstance()
{
    static const auto button = std::make_shared<SBVolumeHardwareButton>();
    return button;
}

void SBVolumeHardwareButton::volumeDecreasePress(const std::shared_ptr<NSObject>& event)
{
    volumeDecreasePressMethod(*this, event);
}

void SBVolumeHardwareButton::volumeIncreasePress(const std::shared_ptr<NSObject>& event)
{
    volumeIncreasePressMethod(*this, event);
}
