#include "platform/testsupport/PeerProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

PeerProcess::PeerProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("peer: pipe: ") + strerror(errno));
    std::vector<std::string> words { program };
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    int r = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (r != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("peer: cannot start " + program + ": " + strerror(r));
    }
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
