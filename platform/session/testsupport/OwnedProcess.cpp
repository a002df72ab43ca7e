#include "platform/session/testsupport/OwnedProcess.h"

#include "platform/session/testsupport/Deadline.h"

#include <csignal>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <utility>

namespace TestSession {

namespace {

int openEndFd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

int stopTimeoutMs()
{
    return static_cast<int>(kStopTimeout.count());
}

}

OwnedProcess::OwnedProcess(const ChildOptions& options)
    : m_pid(startChild(options))
    , m_endFd(openEndFd(m_pid))
{
}

OwnedProcess OwnedProcess::adopt(pid_t pid)
{
    OwnedProcess process;
    process.m_pid = pid;
    process.m_endFd.reset(openEndFd(pid));
    return process;
}

OwnedProcess::OwnedProcess(OwnedProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1))
    , m_endFd(std::move(other.m_endFd))
{
}

OwnedProcess& OwnedProcess::operator=(OwnedProcess&& other) noexcept
{
    if (this != &other) {
        stop();
        m_pid = std::exchange(other.m_pid, -1);
        m_endFd = std::move(other.m_endFd);
    }
    return *this;
}

bool OwnedProcess::isRunning()
{
    if (m_pid <= 0)
        return false;
    int status;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid)
        return true;
    m_pid = -1;
    m_endFd.reset();
    return false;
}

void OwnedProcess::terminate()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGTERM);
}

void OwnedProcess::stop()
{
    if (m_pid > 0)
        endProcess(m_pid, stopTimeoutMs());
    m_pid = -1;
    m_endFd.reset();
}

void OwnedProcess::kill()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        waitForProcessEnd(m_pid, -1);
    }
    m_pid = -1;
    m_endFd.reset();
}

void endProcesses(const std::vector<pid_t>& pids)
{
    for (pid_t pid : pids)
        ::kill(pid, SIGTERM);
    for (pid_t pid : pids)
        endProcess(pid, stopTimeoutMs(), false);
}

}
