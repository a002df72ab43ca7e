#include "platform/springboard/CCUIDoNotDisturbModule.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIDoNotDisturbModule>("CCUIDoNotDisturbModule",
    [] { return Device::current().runsMajorVersion(11, 13); });

}

bool CCUIDoNotDisturbModule::isSelected() const
{
    return Device::current().isDoNotDisturbEnabled();
}

void CCUIDoNotDisturbModule::setSelected(bool selected)
{
    Device::current().setDoNotDisturbEnabled(selected, phoneClass() + " setSelected:");
}

