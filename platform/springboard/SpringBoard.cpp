#include "platform/springboard/SpringBoard.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SpringBoard>("SpringBoard");

}

std::shared_ptr<SpringBoard> SpringBoard::sharedApplication()
{
    if (!UIApplication::hasSharedApplication())
        UIApplication::setSharedApplication(std::make_shared<SpringBoard>());
    return std::dynamic_pointer_cast<SpringBoard>(UIApplication::sharedApplication());
}

bool SpringBoard::isLocked() const
{
    return Device::current().isLocked();
}
