#include "platform/session/testsupport/PrivateBus.h"

#include "platform/machinery/BusDaemon.h"
#include "platform/session/testsupport/Deadline.h"
#include "platform/session/testsupport/ProcessTree.h"
#include "platform/session/testsupport/SessionEnvironment.h"
#include "platform/session/testsupport/SessionFolder.h"

#include <csignal>
#include <fstream>
#include <stdexcept>

namespace TestSession {

namespace {

std::filesystem::path writeConfiguration(const PrivateBus::Setup& setup, const SessionFolder& folder)
{
    BusDaemonConfiguration bus;
    bus.socket = setup.socket;
    bus.type = setup.type;
    bus.keepUmask = true;
    bus.serviceDir = setup.serviceDir;
    std::filesystem::path config = folder.path() / (setup.name + ".conf");
    std::ofstream out(config, std::ios::trunc);
    out << busDaemonConfiguration(bus);
    if (!out.flush())
        throw std::runtime_error("private session: cannot write " + config.string());
    return config;
}

}

PrivateBus::PrivateBus(const Setup& setup, const SessionFolder& folder, const SessionEnvironment& environment)
{
    std::filesystem::path config = writeConfiguration(setup, folder);
    BusDaemon daemon = startBusDaemon(config, environment.daemon({}, folder.log(setup.name)), kStartTimeout,
        "private session (" + setup.name + ")");
    // Started by the machinery, which waits for its address; owned from then on.
    m_daemon = OwnedProcess::adopt(daemon.pid);
    m_group = daemon.pid;
    m_address = daemon.address;
}

PrivateBus::~PrivateBus()
{
    m_daemon.stop();
    // What was starting as the bus ended, and the services of a killed bus. Nothing is asked of
    // /proc when the group is empty.
    if (m_group > 0 && ::kill(-m_group, 0) == 0)
        endServices();
}

void PrivateBus::endServices()
{
    if (m_group <= 0)
        return;
    std::vector<pid_t> services = processGroupMembers(m_group);
    std::erase(services, m_daemon.pid());
    endProcesses(services);
}

}
