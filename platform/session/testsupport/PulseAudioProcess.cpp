#include "platform/session/testsupport/PulseAudioProcess.h"

#include "platform/session/testsupport/ReadyNotification.h"
#include "platform/session/testsupport/SessionEnvironment.h"
#include "platform/session/testsupport/SessionFolder.h"
#include "platform/session/testsupport/ShellCommand.h"

#include <stdexcept>

namespace TestSession {

PulseAudioProcess::PulseAudioProcess(const SessionFolder& folder, const SessionEnvironment& environment)
    : m_folder(folder)
    , m_environment(environment)
{
}

PulseAudioProcess::~PulseAudioProcess() = default;

void PulseAudioProcess::launch()
{
    m_ready = std::make_unique<ReadyNotification>(m_folder.runtime() / "pulse-notify");
    std::vector<std::string> argv { requireProgram("pulseaudio", "pulseaudio", "private session"), "-n", "--daemonize=no",
        "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no", "--high-priority=no", "--log-target=stderr",
        "--disallow-module-loading=no",
        // Loaded before the sink, so that a restarted server gives the sink its stored volume.
        "-L", "module-device-restore", "-L", "module-null-sink sink_name=test_sink", "-L",
        "module-native-protocol-unix auth-anonymous=1 socket=" + m_folder.soundSocket().string(), "-L",
        "module-stream-restore restore_device=false" };
    m_daemon = OwnedProcess(m_environment.daemon(std::move(argv), m_folder.log("pulseaudio"),
        { { "NOTIFY_SOCKET", m_ready->path().string() }, { "PULSE_STATE_PATH", m_folder.soundState().string() },
            { "PULSE_RUNTIME_PATH", m_folder.soundRuntime().string() } }));
}

void PulseAudioProcess::awaitReady(const Deadline& deadline)
{
    bool ready = m_ready->waitForReady(deadline, m_daemon.endFd());
    m_ready.reset();
    if (!ready)
        fail(m_daemon.isRunning() ? "did not become ready" : "ended");
    // Ready means ready to a client too: a client's first question must be answered.
    if (runShellCommand("pactl info", m_environment.forChild()).status != 0)
        fail("did not answer pactl info");
}

void PulseAudioProcess::stop()
{
    m_ready.reset();
    m_daemon.stop();
}

void PulseAudioProcess::fail(const std::string& what)
{
    stop();
    throw std::runtime_error("private session: PulseAudio " + what + " at start: " + tailOfFile(m_folder.log("pulseaudio"), kLogTail));
}

}
