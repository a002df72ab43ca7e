#include "platform/springboard/CCUIModuleMetadata.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIModuleMetadata>("CCUIModuleMetadata",
    [] { return Device::current().runsMajorVersion(11, 13); });

}
