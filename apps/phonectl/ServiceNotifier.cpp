#include "apps/phonectl/ServiceNotifier.h"

#include "platform/machinery/FileDescriptor.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

// Addressed to the service's main process alone (sd_notify, sd_watchdog_enabled, sd_listen_fds).
constexpr const char* kServiceManagerVariables[] = { "NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID", "LISTEN_FDS", "LISTEN_PID",
    "LISTEN_FDNAMES" };

}

ServiceNotifier::ServiceNotifier()
{
    if (const char* socket = std::getenv("NOTIFY_SOCKET"))
        m_socket = socket;
    for (const char* name : kServiceManagerVariables)
        unsetenv(name);
}

bool ServiceNotifier::notify(const std::string& state) const
{
    // A path, or "@name" for an abstract socket; anything else is not a socket of ours to use.
    if (m_socket.size() < 2 || (m_socket[0] != '/' && m_socket[0] != '@'))
        return true;
    sockaddr_un address {};
    if (m_socket.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_socket.data(), m_socket.size());
    if (m_socket[0] == '@')
        address.sun_path[0] = '\0';
    // An abstract name is exactly as long as it is; a path ends with its terminating zero.
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + m_socket.size() + (m_socket[0] == '/' ? 1 : 0));
    FileDescriptor fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.isValid())
        return false;
    return sendto(fd.get(), state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), length)
        == static_cast<ssize_t>(state.size());
}
