#pragma once

#include "platform/device/Device.h"

#include <initializer_list>
#include <map>
#include <string>
#include <utility>

// The methods of a stand-in class that exist only on some OS versions, each with the first and
// last major version that has it. A method that is not listed exists on none.
class MethodVersions {
public:
    struct Range {
        int first;
        int last;
    };

    MethodVersions(std::initializer_list<std::pair<const std::string, Range>> methods) : m_methods(methods) { }

    // Whether the simulated phone's OS version has the method.
    bool has(const std::string& selector) const
    {
        auto it = m_methods.find(selector);
        return it != m_methods.end() && Device::current().runsMajorVersion(it->second.first, it->second.last);
    }

private:
    std::map<std::string, Range> m_methods;
};
