#include "platform/session/testsupport/PipeWireProcesses.h"

#include "platform/session/testsupport/BusClient.h"
#include "platform/session/testsupport/FileAppearance.h"
#include "platform/session/testsupport/PulseClient.h"
#include "platform/session/testsupport/SessionEnvironment.h"
#include "platform/session/testsupport/SessionFolder.h"

#include <stdexcept>

namespace TestSession {

namespace {

struct Program {
    const char* name;
    const char* package;
};
constexpr Program kPipeWire { "pipewire", "pipewire-bin" };
constexpr Program kWirePlumber { "wireplumber", "wireplumber" };
constexpr Program kPipeWirePulse { "pipewire-pulse", "pipewire-pulse" };
constexpr Program kPrograms[] = { kPipeWire, kWirePlumber, kPipeWirePulse };
constexpr const char* kPulseServerName = "org.pulseaudio.Server";
constexpr const char* kTestSink = "test_sink";

}

PipeWireProcesses::PipeWireProcesses(const SessionFolder& folder, const SessionEnvironment& environment, BusClient& sessionBus)
    : m_folder(folder)
    , m_environment(environment)
    , m_sessionBus(sessionBus)
{
}

bool PipeWireProcesses::isInstalled()
{
    for (const auto& program : kPrograms)
        if (findProgram(program.name).empty())
            return false;
    return true;
}

OwnedProcess PipeWireProcesses::launchDaemon(const char* name, const char* package)
{
    return OwnedProcess(m_environment.daemon({ requireProgram(name, package, "private session") }, m_folder.log(name)));
}

// pipewire first: the other two connect to its socket as they start.
void PipeWireProcesses::launch()
{
    std::error_code ignored;
    std::filesystem::remove(m_folder.runtime() / "pipewire-0", ignored);
    m_pipewire = launchDaemon(kPipeWire.name, kPipeWire.package);
}

void PipeWireProcesses::awaitReady(const Deadline& deadline)
{
    if (!waitForFile(m_folder.runtime() / "pipewire-0", deadline, m_pipewire.endFd()))
        fail("pipewire did not make its socket");
    m_wireplumber = launchDaemon(kWirePlumber.name, kWirePlumber.package);
    m_pulse = launchDaemon(kPipeWirePulse.name, kPipeWirePulse.package);
    if (!m_sessionBus.waitForName(kPulseServerName, true, deadline, m_pulse.endFd()))
        fail("pipewire-pulse did not take its name on the session bus");
    try {
        makeTestSinkTheDefault(deadline);
    } catch (const std::exception& error) {
        fail(error.what());
    }
}

// pipewire-pulse refuses a default sink until wireplumber has published its default metadata,
// which the server tells as a change: the sink is set again at each change until it is the
// default.
void PipeWireProcesses::makeTestSinkTheDefault(const Deadline& deadline)
{
    PulseClient client("unix:" + m_folder.soundSocket().string(), deadline);
    client.loadModule("module-null-sink", std::string("sink_name=") + kTestSink);
    client.waitUntil(
        [&] {
            if (client.defaultSink() == kTestSink)
                return true;
            client.setDefaultSink(kTestSink);
            return false;
        },
        "waiting for test_sink to be the default sink");
}

bool PipeWireProcesses::isRunning()
{
    // Each is asked, so that each one that ended is reaped.
    bool pipewire = m_pipewire.isRunning();
    bool wireplumber = m_wireplumber.isRunning();
    bool pulse = m_pulse.isRunning();
    return pipewire && wireplumber && pulse;
}

void PipeWireProcesses::terminate()
{
    m_pulse.terminate();
    m_wireplumber.terminate();
    m_pipewire.terminate();
}

// Clients of pipewire first.
void PipeWireProcesses::stop()
{
    m_pulse.stop();
    m_wireplumber.stop();
    m_pipewire.stop();
}

void PipeWireProcesses::fail(const std::string& what)
{
    stop();
    std::string logs;
    for (const auto& program : kPrograms)
        logs += std::string("\n") + program.name + ": " + tailOfFile(m_folder.log(program.name), kLogTail);
    throw std::runtime_error("private session: PipeWire did not start: " + what + logs);
}

}
