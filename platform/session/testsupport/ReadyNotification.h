#pragma once

#include "platform/machinery/FileDescriptor.h"
#include "platform/session/testsupport/Deadline.h"

#include <filesystem>

// A datagram socket standing in for the service manager's notify socket (NOTIFY_SOCKET): a
// daemon that speaks sd_notify says READY=1 on it once it serves. Removed when it goes.
namespace TestSession {

class ReadyNotification {
public:
    // Throws std::runtime_error when the socket cannot be made.
    explicit ReadyNotification(const std::filesystem::path&);
    ~ReadyNotification();
    ReadyNotification(const ReadyNotification&) = delete;
    ReadyNotification& operator=(const ReadyNotification&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Waits until READY=1 comes; false when the deadline passes or `endFd` (the daemon's end)
    // becomes readable first.
    bool waitForReady(const Deadline&, int endFd);

private:
    std::filesystem::path m_path;
    FileDescriptor m_socket;
};

}
