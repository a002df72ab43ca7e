#pragma once

#include "platform/session/testsupport/OwnedProcess.h"

#include <filesystem>
#include <string>

// A private dbus-daemon of the session: the session bus, or one standing in for the system bus.
// It leads a process group of its own, which the services it starts stay in: dbus-daemon starts
// them through a double fork, so that they are not its descendants, and one may still be
// starting (no name on the bus yet) when the session ends. Its end ends them too.
namespace TestSession {

class SessionEnvironment;
class SessionFolder;

class PrivateBus {
public:
    struct Setup {
        // "session-bus", "system-bus": the names of its configuration file and log.
        std::string name;
        // The bus's <type>: "session" or "system".
        std::string type;
        std::filesystem::path socket;
        // A folder of service files to activate from; empty for none.
        std::filesystem::path serviceDir;
    };
    // Starts the daemon and waits until it listens (it prints its address then). Throws
    // std::runtime_error with the end of its log when it does not.
    PrivateBus(const Setup&, const SessionFolder&, const SessionEnvironment&);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return m_address; }
    // Ends the services the bus started, before the bus itself.
    void endServices();
    // Asks the daemon to end without waiting, so that the buses end together; the destructor waits.
    void terminate() { m_daemon.terminate(); }
    // Ends the daemon at once (SIGKILL), as a crash would, leaving its services running until the
    // object goes.
    void kill() { m_daemon.kill(); }

private:
    OwnedProcess m_daemon;
    pid_t m_group { -1 };
    std::string m_address;
};

}
