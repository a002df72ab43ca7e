#pragma once

#include "platform/session/testsupport/OwnedProcess.h"

#include <filesystem>
#include <string>
#include <vector>

// The services of the session bus (dconf-service, feedbackd). The bus starts only those laid
// into the session's own service folder, so that a desktop without feedbackd can be played and
// nothing else of the machine's is activated (the bus ends those it started, see PrivateBus). A
// service may also be started directly: our child, ended with this object.
namespace TestSession {

class BusClient;
class SessionEnvironment;
class SessionFolder;

class SessionServices {
public:
    SessionServices(const SessionFolder&, const SessionEnvironment&);
    ~SessionServices();
    SessionServices(const SessionServices&) = delete;
    SessionServices& operator=(const SessionServices&) = delete;

    // Copies the machine's service file into the session's folder in one step (a temporary
    // name, then a rename), so that a bus watching the folder never reads half a file. Throws
    // std::runtime_error naming the Debian package when it is not installed.
    void install(const char* file, const char* package);
    // Runs the program directly and waits until it holds its name on the bus.
    void startDirectly(const char* program, const char* package, const char* name, BusClient& bus);
    // Ends the process that owns the name and waits until the bus has taken the name back, so
    // that the caller's next call activates the service again instead of reaching the old one.
    // Nothing when no process owns it.
    void kill(BusClient& bus, const char* name);
    // Asks the services started directly to end, without waiting.
    void terminate();

private:
    const SessionFolder& m_folder;
    const SessionEnvironment& m_environment;
    std::vector<OwnedProcess> m_started;
};

}
