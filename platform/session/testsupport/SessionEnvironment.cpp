#include "platform/session/testsupport/SessionEnvironment.h"

extern char** environ;

namespace TestSession {

namespace {

// What a test runner may have set that must not leak into the session: its own bus, its
// service manager's notify socket, its sound server's paths.
constexpr const char* kRunnerVariables[] = { "NOTIFY_SOCKET", "DBUS_STARTER_ADDRESS", "DBUS_STARTER_BUS_TYPE", "PULSE_RUNTIME_PATH",
    "PULSE_STATE_PATH", "PULSE_CLIENTCONFIG" };

SessionEnvironment::Variables processEnvironment()
{
    SessionEnvironment::Variables variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    return variables;
}

}

const std::vector<const char*>& SessionEnvironment::names()
{
    static const std::vector<const char*> names { "XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
        "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "PULSE_SERVER", "GSETTINGS_BACKEND",
        "GIO_USE_VFS" };
    return names;
}

std::string SessionEnvironment::value(const std::string& name) const
{
    auto it = m_variables.find(name);
    return it == m_variables.end() ? "" : it->second;
}

std::vector<std::string> SessionEnvironment::forChild(const Variables& extra) const
{
    Variables merged = processEnvironment();
    for (const char* name : kRunnerVariables)
        merged.erase(name);
    for (const char* name : names())
        merged.erase(name);
    for (const auto& [name, value] : m_variables)
        merged[name] = value;
    for (const auto& [name, value] : extra)
        merged[name] = value;
    std::vector<std::string> entries;
    for (const auto& [name, value] : merged)
        entries.push_back(name + "=" + value);
    return entries;
}

ChildOptions SessionEnvironment::daemon(std::vector<std::string> argv, const std::filesystem::path& log, const Variables& extra) const
{
    ChildOptions child;
    child.argv = std::move(argv);
    child.env = forChild(extra);
    child.log = log;
    child.ownProcessGroup = true;
    return child;
}

}
