#include "platform/springboard/CCUIButtonModuleView.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIButtonModuleView>("CCUIButtonModuleView",
    [] { return Device::current().runsMajorVersion(11, 12); });

}
