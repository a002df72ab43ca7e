#pragma once

#include "platform/session/testsupport/OwnedProcess.h"

#include <filesystem>
#include <string>
#include <vector>

// A private dbus-daemon of the session: the session bus, or one standing in for the system bus.
// Stopping it ends first the services it activated, then the bus.
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
    ~PrivateBus() { stop(); }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return m_address; }
    // The services the bus started: the daemon's descendants.
    std::vector<pid_t> activated() const;
    // Ends every service the bus started.
    void endActivated();
    // Asks the daemon to end without waiting, so that the buses end together; stop() waits.
    void terminate() { m_daemon.terminate(); }
    void stop();
    // Ends the daemon at once (SIGKILL), as a crash would, leaving its services running.
    void kill() { m_daemon.kill(); }

private:
    OwnedProcess m_daemon;
    std::string m_address;
};

}
