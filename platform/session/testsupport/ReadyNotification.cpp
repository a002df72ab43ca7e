#include "platform/session/testsupport/ReadyNotification.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>

namespace TestSession {

ReadyNotification::ReadyNotification(const std::filesystem::path& path)
    : m_path(path)
    , m_socket(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    if (!m_socket.isValid())
        throw std::runtime_error(std::string("private session: socket: ") + strerror(errno));
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
    if (bind(m_socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("private session: cannot bind " + m_path.string() + ": " + strerror(errno));
}

ReadyNotification::~ReadyNotification()
{
    m_socket.reset();
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
}

bool ReadyNotification::waitForReady(const Deadline& deadline, int endFd)
{
    for (;;) {
        pollfd fds[2] = { { m_socket.get(), POLLIN, 0 }, { endFd, POLLIN, 0 } };
        int n = poll(fds, endFd >= 0 ? 2 : 1, deadline.remainingMs());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            ssize_t got = recv(m_socket.get(), buffer, sizeof buffer - 1, 0);
            if (got > 0) {
                buffer[got] = 0;
                if (strstr(buffer, "READY=1"))
                    return true;
            }
        }
        if (endFd >= 0 && (fds[1].revents & POLLIN))
            return false;
    }
}

}
