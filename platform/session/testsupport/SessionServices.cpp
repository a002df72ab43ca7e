#include "platform/session/testsupport/SessionServices.h"

#include "platform/session/testsupport/BusClient.h"
#include "platform/session/testsupport/Deadline.h"
#include "platform/session/testsupport/SessionEnvironment.h"
#include "platform/session/testsupport/SessionFolder.h"

#include <algorithm>
#include <stdexcept>
#include <unistd.h>

namespace TestSession {

namespace {

std::filesystem::path installedServiceFile(const char* file)
{
    for (const char* root : { "/usr/local/share/dbus-1/services", "/usr/share/dbus-1/services" }) {
        std::filesystem::path candidate = std::filesystem::path(root) / file;
        if (std::filesystem::exists(candidate))
            return candidate;
    }
    return {};
}

}

SessionServices::SessionServices(const SessionFolder& folder, const SessionEnvironment& environment)
    : m_folder(folder)
    , m_environment(environment)
{
}

SessionServices::~SessionServices()
{
    terminate();
    m_started.clear();
}

void SessionServices::install(const char* file, const char* package)
{
    std::filesystem::path found = installedServiceFile(file);
    if (found.empty())
        throw std::runtime_error(std::string("private session: no D-Bus service file ") + file + " (Debian package " + package + ")");
    std::filesystem::path partial = m_folder.path() / (std::string(file) + ".partial");
    std::filesystem::copy_file(found, partial, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(partial, m_folder.services() / file);
}

void SessionServices::startDirectly(const char* program, const char* package, const char* name, BusClient& bus)
{
    if (access(program, X_OK) != 0)
        throw std::runtime_error(std::string("private session: ") + program + " is not installed (Debian package " + package + ")");
    std::string log = std::filesystem::path(program).filename().string();
    m_started.emplace_back(m_environment.daemon({ program }, m_folder.log(log)));
    if (!bus.waitForName(name, true, Deadline::in(kStartTimeout), m_started.back().endFd()))
        throw std::runtime_error(std::string("private session: ") + program + " did not take its name: "
            + tailOfFile(m_folder.log(log), kLogTail));
}

void SessionServices::kill(BusClient& bus, const char* name)
{
    auto pid = bus.processOwning(name);
    if (!pid)
        return;
    auto started = std::find_if(m_started.begin(), m_started.end(), [&](const OwnedProcess& process) { return process.pid() == *pid; });
    if (started != m_started.end())
        m_started.erase(started);
    else
        endProcess(*pid, static_cast<int>(kStopTimeout.count()), false);
    if (!bus.waitForName(name, false, Deadline::in(kStopTimeout)))
        throw std::runtime_error(std::string("private session: ") + name + " kept its name after its process ended");
}

void SessionServices::terminate()
{
    for (auto& process : m_started)
        process.terminate();
}

}
