#include "platform/testsupport/PeerProcess.h"

#include "platform/machinery/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <unistd.h>

PeerProcess::PeerProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("peer: pipe: ") + strerror(errno));
    ChildOptions peer;
    peer.argv = { program };
    peer.argv.insert(peer.argv.end(), arguments.begin(), arguments.end());
    peer.stdoutFd = pipeFds[1];
    // The peer says what goes wrong in the test's own log.
    peer.stderrFd = STDERR_FILENO;
    peer.dieWithParent = false;
    try {
        m_pid = startChild(peer);
    } catch (const std::exception& error) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw std::runtime_error("peer: cannot start " + program + ": " + error.what());
    }
    close(pipeFds[1]);
    m_output.reset(pipeFds[0]);
    fcntl(m_output.get(), F_SETFL, fcntl(m_output.get(), F_GETFL) | O_NONBLOCK);
    m_outputSource = RunLoopSource(m_output.get(), EPOLLIN, [this](uint32_t) { readOutput(); });
    m_exit = std::make_unique<ChildExitSource>(m_pid, [this](const ProcessExit& end) {
        m_exited = true;
        m_status = end.reaped && end.signal == 0 ? end.exitStatus : -1;
    });
}

PeerProcess::~PeerProcess()
{
    if (!m_exited) {
        kill(m_pid, SIGKILL);
        int status;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
    }
}

bool PeerProcess::hasLine(const std::string& line) const
{
    return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
}

bool PeerProcess::waitForLine(const std::string& line, double seconds)
{
    return NSRunLoop::main().runUntilCondition([&] { return hasLine(line); }, seconds);
}

bool PeerProcess::waitForExit(double seconds)
{
    // The output is read to its end as well, so that every line is there once it has exited.
    return NSRunLoop::main().runUntilCondition([&] { return m_exited && !m_outputSource.isActive(); }, seconds);
}

void PeerProcess::readOutput()
{
    char buffer[4096];
    for (;;) {
        ssize_t n = read(m_output.get(), buffer, sizeof buffer);
        if (n > 0) {
            m_partial.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            m_outputSource.reset();
        break;
    }
    for (size_t newline = m_partial.find('\n'); newline != std::string::npos; newline = m_partial.find('\n')) {
        m_lines.push_back(m_partial.substr(0, newline));
        m_partial.erase(0, newline + 1);
    }
}
