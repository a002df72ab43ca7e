#include "platform/springboard/DoNotDisturbSetting.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

// isEnabled and _toggleState came with 7.1.
bool hasToggleMethods()
{
    return Device::current().systemVersionNumber() >= 7.1;
}

}

bool DoNotDisturbSetting::respondsToSelector(const std::string& selector) const
{
    if (selector == "identifier" || selector == "_setDNDEnabled:updateServer:source:")
        return true;
    if (selector == "isEnabled" || selector == "_toggleState")
        return hasToggleMethods();
    return false;
}

void DoNotDisturbSetting::require(const char* selector) const
{
    if (!respondsToSelector(selector))
        ObjCRuntime::doesNotRecognizeSelector(m_phoneClass, selector);
}

bool DoNotDisturbSetting::isEnabled() const
{
    require("isEnabled");
    return Device::current().isDoNotDisturbEnabled();
}

void DoNotDisturbSetting::_toggleState()
{
    require("_toggleState");
    Device& phone = Device::current();
    phone.setDoNotDisturbEnabled(!phone.isDoNotDisturbEnabled(), m_phoneClass + " _toggleState");
}

void DoNotDisturbSetting::_setDNDEnabled(bool enabled, bool updateServer, int)
{
    if (updateServer)
        Device::current().setDoNotDisturbEnabled(enabled, m_phoneClass + " _setDNDEnabled:updateServer:source:");
}
