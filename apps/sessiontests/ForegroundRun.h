#pragma once

#include "platform/session/testsupport/ProcessTree.h"

// `phonectl run --session` as a service manager starts it, and what a test sees around it: who
// says what on the notify socket, the phone's processes and their environment (tests only).

#include "platform/machinery/ChildProcess.h"
#include "platform/machinery/FileDescriptor.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <vector>

// A datagram socket standing in for the service manager's notify socket; each message comes
// with its sender's process id (SO_PASSCRED), as systemd reads it.
class NotifySocket {
public:
    struct Message {
        pid_t sender;
        std::string text;
    };

    explicit NotifySocket(std::filesystem::path path)
        : m_path(std::move(path))
        , m_fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        int on = 1;
        setsockopt(m_fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
        bind(m_fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~NotifySocket() { std::filesystem::remove(m_path); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Every message received so far.
    const std::vector<Message>& received()
    {
        for (;;) {
            char text[512];
            iovec data { text, sizeof text };
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
            msghdr message {};
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            ssize_t n = recvmsg(m_fd.get(), &message, 0);
            if (n < 0)
                return m_received;
            pid_t sender = 0;
            for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_CREDENTIALS) {
                    ucred credentials;
                    memcpy(&credentials, CMSG_DATA(header), sizeof credentials);
                    sender = credentials.pid;
                }
            }
            m_received.push_back({ sender, std::string(text, static_cast<size_t>(n)) });
        }
    }

    bool heard(const std::string& text)
    {
        const auto& all = received();
        return std::any_of(all.begin(), all.end(), [&](const Message& m) { return m.text.find(text) != std::string::npos; });
    }

private:
    std::filesystem::path m_path;
    FileDescriptor m_fd;
    std::vector<Message> m_received;
};

// Gone, or ended and waiting only to be reaped by a parent that does not (a zombie).
inline bool processGone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    return close == std::string::npos || text.compare(close + 1, 3, " Z ") == 0;
}

using TestSession::descendantsOf;

// The names of the process's environment variables.
inline std::vector<std::string> environmentNamesOf(pid_t pid)
{
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ");
    std::vector<std::string> names;
    for (std::string entry; std::getline(environ, entry, '\0');)
        names.push_back(entry.substr(0, entry.find('=')));
    return names;
}

// phonectl run --session at a root, its output in a file beside the root, the notify socket's
// path in NOTIFY_SOCKET. Ended (SIGTERM, then waited for) when it goes, unless ended before.
class ForegroundRun {
public:
    ForegroundRun(const std::filesystem::path& root, const std::filesystem::path& notifySocket, std::vector<std::string> extra = {})
        : m_output(root.parent_path() / (root.filename().string() + ".run"))
    {
        std::ofstream(m_output, std::ios::trunc);
        ChildOptions phonectl;
        phonectl.argv = { HUSHLINE_PHONECTL, "--root", root.string(), "run", "--session" };
        phonectl.argv.insert(phonectl.argv.end(), extra.begin(), extra.end());
        phonectl.log = m_output;
        phonectl.dieWithParent = false;
        setenv("NOTIFY_SOCKET", notifySocket.c_str(), 1);
        m_pid = startChild(phonectl);
        unsetenv("NOTIFY_SOCKET");
    }
    ~ForegroundRun()
    {
        if (!m_status)
            endProcess(m_pid, 30000);
        std::filesystem::remove(m_output);
    }
    ForegroundRun(const ForegroundRun&) = delete;
    ForegroundRun& operator=(const ForegroundRun&) = delete;

    pid_t pid() const { return m_pid; }
    // Its exit status (-1 for a signal) once it has ended; asks without waiting.
    std::optional<int> status()
    {
        int status = 0;
        if (!m_status && waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }
    std::string output() const
    {
        std::ifstream in(m_output);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path m_output;
    pid_t m_pid { -1 };
    std::optional<int> m_status;
};
