#include "platform/session/testsupport/ScopedVariables.h"

#include <cstdlib>

namespace TestSession {

namespace {

void put(const std::string& name, const std::optional<std::string>& value)
{
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

}

ScopedVariables::ScopedVariables(const std::vector<const char*>& names, const std::map<std::string, std::string>& values)
{
    for (const char* name : names) {
        const char* before = getenv(name);
        m_before[name] = before ? std::optional<std::string>(before) : std::nullopt;
    }
    for (const char* name : names) {
        auto it = values.find(name);
        put(name, it == values.end() ? std::nullopt : std::optional<std::string>(it->second));
    }
}

ScopedVariables::~ScopedVariables()
{
    for (const auto& [name, value] : m_before)
        put(name, value);
}

}
