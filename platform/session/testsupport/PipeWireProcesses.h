#pragma once

#include "platform/session/testsupport/OwnedProcess.h"
#include "platform/session/testsupport/SoundServerProcess.h"

// PipeWire as today's Phosh images run it, headless: pipewire, then wireplumber (the session
// manager, which picks the default sink and stores the volumes under the session's home) and
// pipewire-pulse (the pulse server at the session's sound socket). A null sink "test_sink" is
// loaded through the pulse server and made the default. Ready once pipewire-pulse has taken its
// name on the session bus (it listens by then) and the server names test_sink as its default.
namespace TestSession {

class BusClient;
class SessionEnvironment;
class SessionFolder;

class PipeWireProcesses : public SoundServerProcess {
public:
    // The session bus (`sessionBus`) must run: the daemons need it.
    PipeWireProcesses(const SessionFolder&, const SessionEnvironment&, BusClient& sessionBus);

    // Whether the three programs are installed.
    static bool isInstalled();

    void launch() override;
    void awaitReady(const Deadline&) override;
    bool isRunning() override;
    void terminate() override;
    void stop() override;

private:
    OwnedProcess launchDaemon(const char* name, const char* package);
    void makeTestSinkTheDefault(const Deadline&);
    [[noreturn]] void fail(const std::string& what);

    const SessionFolder& m_folder;
    const SessionEnvironment& m_environment;
    BusClient& m_sessionBus;
    OwnedProcess m_pipewire;
    OwnedProcess m_wireplumber;
    OwnedProcess m_pulse;
};

}
