#include "platform/springboard/CCUIModuleInstance.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIModuleInstance>("CCUIModuleInstance",
    [] { return Device::current().runsMajorVersion(11, 13); });

}
