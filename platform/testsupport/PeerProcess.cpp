#include "platform/testsupport/PeerProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/syscall.h>
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
    m_output = pipeFds[0];
    fcntl(m_output, F_SETFL, fcntl(m_output, F_GETFL) | O_NONBLOCK);
    m_outputSource = NSRunLoop::main().addSource(m_output, EPOLLIN, [this](uint32_t) { readOutput(); });
    m_pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    if (m_pidfd >= 0)
        m_exitSource = NSRunLoop::main().addSource(m_pidfd, EPOLLIN, [this](uint32_t) { reap(); });
}

PeerProcess::~PeerProcess()
{
    if (!m_exited) {
        kill(m_pid, SIGKILL);
        int status;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
    }
    if (m_outputSource)
        NSRunLoop::main().removeSource(m_outputSource);
    if (m_exitSource)
        NSRunLoop::main().removeSource(m_exitSource);
    if (m_output >= 0)
        close(m_output);
    if (m_pidfd >= 0)
        close(m_pidfd);
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
    return NSRunLoop::main().runUntilCondition([&] { return m_exited && !m_outputSource; }, seconds);
}

void PeerProcess::readOutput()
{
    char buffer[4096];
    for (;;) {
        ssize_t n = read(m_output, buffer, sizeof buffer);
        if (n > 0) {
            m_partial.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            NSRunLoop::main().removeSource(m_outputSource);
            m_outputSource = 0;
        }
        break;
    }
    for (size_t newline = m_partial.find('\n'); newline != std::string::npos; newline = m_partial.find('\n')) {
        m_lines.push_back(m_partial.substr(0, newline));
        m_partial.erase(0, newline + 1);
    }
}

void PeerProcess::reap()
{
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid)
        return;
    m_exited = true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    NSRunLoop::main().removeSource(m_exitSource);
    m_exitSource = 0;
}
