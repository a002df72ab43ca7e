#pragma once

#include "platform/session/testsupport/Deadline.h"

// The session's sound server, whichever it is: its clients find it at the session folder's
// sound socket (PULSE_SERVER), with a null sink "test_sink" as the default sink. Starting is in
// two steps, so that the session can start its other daemons meanwhile; a start that fails stops
// what it started. Stopping keeps its stored values, so that a start again is a restart.
namespace TestSession {

class SoundServerProcess {
public:
    virtual ~SoundServerProcess() = default;

    // Starts the daemons without waiting for them.
    virtual void launch() = 0;
    // Waits until a client is served; throws std::runtime_error (with the end of the logs) when
    // it is not by the deadline, having stopped the daemons.
    virtual void awaitReady(const Deadline&) = 0;
    void start()
    {
        launch();
        awaitReady(Deadline::in(kStartTimeout));
    }
    // Whether it runs; a daemon that ended on its own (a crash) is reaped here.
    virtual bool isRunning() = 0;
    // Asks the daemons to end without waiting, so that the session's clients end together.
    virtual void terminate() = 0;
    virtual void stop() = 0;
};

}
