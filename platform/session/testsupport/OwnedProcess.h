#pragma once

#include "platform/machinery/ChildProcess.h"
#include "platform/machinery/FileDescriptor.h"

#include <sys/types.h>
#include <vector>

// A daemon the private session started: ended (SIGTERM, SIGKILL after the stop time-out) and
// reaped when it goes, so that no path out of a test leaves it running.
namespace TestSession {

class OwnedProcess {
public:
    OwnedProcess() = default;
    // Throws std::runtime_error when it cannot fork.
    explicit OwnedProcess(const ChildOptions&);
    // A child started by other means, owned from now on.
    static OwnedProcess adopt(pid_t);
    ~OwnedProcess() { stop(); }
    OwnedProcess(OwnedProcess&&) noexcept;
    OwnedProcess& operator=(OwnedProcess&&) noexcept;
    OwnedProcess(const OwnedProcess&) = delete;
    OwnedProcess& operator=(const OwnedProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Readable once the process has ended (-1 when there is none): a wait for the daemon's
    // answer watches it, so that a daemon that dies fails the wait at once.
    int endFd() const { return m_endFd.get(); }
    // Whether it runs; one that ended on its own (a crash) is reaped here.
    bool isRunning();
    // Asks it to end (SIGTERM) without waiting, so that several end together; stop() waits.
    void terminate();
    void stop();
    // Ends it at once (SIGKILL), as a crash would, and reaps it.
    void kill();

private:
    pid_t m_pid { -1 };
    FileDescriptor m_endFd;
};

// Ends processes that are not our children (a bus's activated services) together: SIGTERM to
// each, then a wait for each, SIGKILL for any that outlives the stop time-out.
void endProcesses(const std::vector<pid_t>&);

}
