#include "platform/foundation/NSObject.h"

#include <cstdio>
#include <typeinfo>

std::string NSObject::description() const
{
    char address[32];
    snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return std::string("<") + typeid(*this).name() + ": " + address + ">";
}

const std::any& NSObject::associatedObject(const std::string& key) const
{
    static const std::any none;
    auto it = m_associated.find(key);
    return it == m_associated.end() ? none : it->second;
}

void NSObject::setAssociatedObject(const std::string& key, std::any value)
{
    if (value.has_value())
        m_associated[key] = std::move(value);
    else
        m_associated.erase(key);
}
