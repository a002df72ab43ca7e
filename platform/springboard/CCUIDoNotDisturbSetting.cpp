#include "platform/springboard/CCUIDoNotDisturbSetting.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIDoNotDisturbSetting>("CCUIDoNotDisturbSetting",
    [] { return Device::current().runsMajorVersion(10, 10); });

}
