#include "platform/springboard/VolumeControl.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<VolumeControl>("VolumeControl");

}

std::shared_ptr<VolumeControl> VolumeControl::sharedVolumeControl()
{
    static const auto control = std::make_shared<VolumeControl>();
    return control;
}

float VolumeControl::getMediaVolume() const
{
    float volume = 0;
    AVSystemController::sharedAVSystemController()->getVolume(volume, kAVSystemControllerMediaCategory);
    return volume;
}

void VolumeControl::setMediaVolume(float volume)
{
    AVSystemController::sharedAVSystemController()->setVolumeTo(volume, kAVSystemControllerMediaCategory);
}
