#include "platform/springboard/SBCCDoNotDisturbSetting.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBCCDoNotDisturbSetting>("SBCCDoNotDisturbSetting",
    [] { return Device::current().runsMajorVersion(7, 9); });

}
