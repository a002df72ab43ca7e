#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

// The simulated phone's message bus: one dbus-daemon per device root, started by whoever boots
// the phone (a test fixture, phonectl). Everything of it lives under the root, in
// var/run/dbus: its configuration (phone.conf, written at start), its socket
// (phone_bus_socket) and the file that tells the phone's other processes where to connect
// (phone_bus_address). Two phones never share a bus, so parallel tests cannot hear each other.
//
// The handle owns the daemon: destroying it stops the daemon (SIGTERM, then SIGKILL if it has
// not gone within a few seconds), waits for it, and removes the socket and the address file.
// The daemon is also told to end when the thread that started it ends, so a crashed owner
// leaves no bus behind.
class PhoneBus {
public:
    // Starts the bus of the device root and returns once it accepts connections. Throws
    // std::runtime_error, saying why, when the daemon cannot be started, when the root's socket
    // path is too long for a Unix socket, or when a bus already runs for the root.
    static std::unique_ptr<PhoneBus> start(const std::filesystem::path& root);

    ~PhoneBus();
    PhoneBus(const PhoneBus&) = delete;
    PhoneBus& operator=(const PhoneBus&) = delete;

    // The D-Bus address of the bus ("unix:path=...").
    const std::string& address() const { return m_address; }
    pid_t pid() const { return m_pid; }
    const std::filesystem::path& root() const { return m_root; }

    // Where the bus of a device root keeps its files.
    static std::filesystem::path configPath(const std::filesystem::path& root);
    static std::filesystem::path socketPath(const std::filesystem::path& root);
    static std::filesystem::path addressPath(const std::filesystem::path& root);

    // The address of the bus running for the device root, read from its address file; nullopt
    // when the phone has not been booted (no file) or its bus is gone (nothing listens).
    static std::optional<std::string> runningAddress(const std::filesystem::path& root);

private:
    PhoneBus(std::filesystem::path root, pid_t pid, std::string address);
    void stop();

    std::filesystem::path m_root;
    pid_t m_pid;
    std::string m_address;
};
