#include "platform/springboard/ControlCenterList.h"

#include "platform/device/Device.h"
#include "platform/springboard/ControlCenterElement.h"

ObjCRuntime::Availability ControlCenterList::onMajorVersions(int first, int last)
{
    return [first, last] { return Device::current().runsMajorVersion(first, last); };
}

std::shared_ptr<NSObject> ControlCenterList::placeholder(std::string phoneClass)
{
    return std::make_shared<ControlCenterElement>(std::move(phoneClass));
}
