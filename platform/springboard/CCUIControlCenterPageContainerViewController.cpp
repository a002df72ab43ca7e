#include "platform/springboard/CCUIControlCenterPageContainerViewController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIControlCenterPageContainerViewController>(
    "CCUIControlCenterPageContainerViewController", [] { return Device::current().runsMajorVersion(10, 10); });

}
