#include "platform/celestial/AVController.h"

#include "platform/celestial/AVSystemController.h"
#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<AVController>("AVController",
    [] { return Device::current().runsMajorVersion(7, 8); }, [] { return std::make_shared<AVController>(); });

}

std::shared_ptr<AVController> AVController::avController()
{
    return std::make_shared<AVController>();
}

float AVController::volume() const
{
    float volume = 0;
    AVSystemController::sharedAVSystemController()->getVolume(volume, kAVSystemControllerSystemCategory);
    return volume;
}
