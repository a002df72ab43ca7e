#include "platform/session/RouteSettingsWatch.h"

#include "platform/machinery/ChildProcess.h"

#include <cstdio>
#include <tuple>
#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

// How long pw-metadata may take to end after SIGTERM before it is killed.
constexpr int kEndTimeoutMs = 1000;

}

std::unique_ptr<RouteSettingsWatch> RouteSettingsWatch::start(std::function<void()> eventRoleChanged)
{
    std::string program = findProgram("pw-metadata");
    if (program.empty())
        return nullptr;
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0)
        return nullptr;
    ChildOptions options;
    options.argv = { program, "-n", "route-settings", "-m" };
    options.stdoutFd = pipe[1];
    pid_t child = -1;
    try {
        child = startChild(options);
    } catch (const std::exception&) {
        close(pipe[0]);
        close(pipe[1]);
        return nullptr;
    }
    close(pipe[1]);
    fcntl(pipe[0], F_SETFL, fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<RouteSettingsWatch>(new RouteSettingsWatch(child, pipe[0], std::move(eventRoleChanged)));
}

RouteSettingsWatch::RouteSettingsWatch(pid_t child, int fd, std::function<void()> changed)
    : m_child(child)
    , m_fd(fd)
    , m_changed(std::move(changed))
{
    m_source = RunLoopSource(m_fd, EPOLLIN, [this](uint32_t) { readable(); });
}

RouteSettingsWatch::~RouteSettingsWatch()
{
    m_source.reset();
    close(m_fd);
    endProcess(m_child, kEndTimeoutMs);
}

bool RouteSettingsWatch::isEventRoleUpdate(const std::string& line)
{
    return line.rfind("update:", 0) == 0 && line.find(std::string("key:'") + kEventRoleKey + "'") != std::string::npos;
}

bool RouteSettingsWatch::isNeededFor(const std::string& serverName)
{
    const std::string marker = "on PipeWire ";
    size_t at = serverName.find(marker);
    if (at == std::string::npos)
        return false;
    int major = 0, minor = 0, micro = 0;
    if (std::sscanf(serverName.c_str() + at + marker.size(), "%d.%d.%d", &major, &minor, &micro) < 2)
        return false;
    return std::make_tuple(major, minor, micro) < std::make_tuple(1, 1, 81);
}

void RouteSettingsWatch::readable()
{
    char buffer[4096];
    ssize_t n;
    bool changed = false;
    while ((n = read(m_fd, buffer, sizeof buffer)) > 0) {
        m_pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = m_pending.find('\n')) != std::string::npos; m_pending.erase(0, end + 1))
            changed = changed || isEventRoleUpdate(m_pending.substr(0, end));
    }
    // pw-metadata ended (PipeWire went away): the sound server's reconnection starts a new watch.
    if (n == 0)
        m_source.reset();
    if (changed && m_changed)
        m_changed();
}
