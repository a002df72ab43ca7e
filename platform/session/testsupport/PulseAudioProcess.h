#pragma once

#include "platform/session/testsupport/OwnedProcess.h"
#include "platform/session/testsupport/SoundServerProcess.h"

#include <memory>

// A real PulseAudio with a null sink "test_sink" (its volume restored by module-device-restore)
// and stream-restore, its stored values in the session's folder. Ready once it says READY=1 on
// its notify socket and a client's first question (`pactl info`) is answered.
namespace TestSession {

class ReadyNotification;
class SessionEnvironment;
class SessionFolder;

class PulseAudioProcess : public SoundServerProcess {
public:
    PulseAudioProcess(const SessionFolder&, const SessionEnvironment&);
    ~PulseAudioProcess() override;

    void launch() override;
    void awaitReady(const Deadline&) override;
    bool isRunning() override { return m_daemon.isRunning(); }
    void terminate() override { m_daemon.terminate(); }
    void stop() override;

private:
    [[noreturn]] void fail(const std::string& what);

    const SessionFolder& m_folder;
    const SessionEnvironment& m_environment;
    std::unique_ptr<ReadyNotification> m_ready;
    OwnedProcess m_daemon;
};

}
