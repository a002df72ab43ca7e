#include "apps/sessiontests/LogindFixture.h"

#include "platform/machinery/ChildProcess.h"

#include <stdexcept>

namespace {

constexpr const char* kName = "org.freedesktop.login1";

ChildOptions mockProcess(const std::string& address, const std::map<std::string, std::string>& environment, const std::filesystem::path& log)
{
    ChildOptions child;
    // Debian's python3, which has dbusmock, whatever python3 comes first on PATH.
    child.argv = { "/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind" };
    std::vector<std::string> variables;
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    variables.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + address);
    variables.push_back("PYTHONUNBUFFERED=1");
    child.env = variables;
    child.log = log;
    child.ownProcessGroup = true;
    return child;
}

}

LogindMock::LogindMock(const std::string& systemBusAddress, const std::map<std::string, std::string>& environment, const std::filesystem::path& log)
    : m_bus(systemBusAddress)
    , m_log(log)
    , m_process(mockProcess(systemBusAddress, environment, log))
{
    if (!m_bus.waitForName(kName, true, TestSession::Deadline::in(TestSession::kStartTimeout), m_process.endFd())) {
        m_process.stop();
        throw std::runtime_error("logind's mock did not start: " + tailOfFile(m_log, TestSession::kLogTail));
    }
}

void LogindMock::prepareForSleep(bool goingToSleep)
{
    m_bus.call(kName, "/org/freedesktop/login1", "org.freedesktop.DBus.Mock", "EmitSignal",
        [goingToSleep](sd_bus_message* m) {
            int r = sd_bus_message_append(m, "sss", "org.freedesktop.login1.Manager", "PrepareForSleep", "b");
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'a', "v");
            if (r >= 0)
                r = sd_bus_message_append(m, "v", "b", goingToSleep ? 1 : 0);
            if (r >= 0)
                r = sd_bus_message_close_container(m);
            return r;
        },
        nullptr, "PrepareForSleep");
}
