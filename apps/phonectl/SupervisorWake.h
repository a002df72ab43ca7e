#pragma once

#include "apps/phonectl/SessionPhoneName.h"
#include "platform/machinery/FileDescriptor.h"

#include <csignal>
#include <memory>

// What the phone's supervisor waits for between its steps: a stop (SIGTERM, SIGINT, SIGHUP), the
// end of a child (SIGCHLD) and, for a phone that holds the session's phone name itself, the end
// of the session bus, which stops the phone as SIGTERM does. While it lives the signals are
// blocked in the process and read from a signalfd, beside the session bus's descriptor.
class SupervisorWake {
public:
    enum class Event { ChildEnded, Stop, TimedOut };

    // Throws PhonectlError when the kernel refuses the signalfd.
    SupervisorWake();
    SupervisorWake(const SupervisorWake&) = delete;
    SupervisorWake& operator=(const SupervisorWake&) = delete;

    // The name held for the phone; it is given back when the wake goes.
    void holdSession(std::unique_ptr<SessionPhoneNameHold>);
    // Waits at most timeoutMs (-1: without limit).
    Event next(int timeoutMs = -1);

private:
    Event readSignal();

    sigset_t m_signals {};
    FileDescriptor m_signalFd;
    std::unique_ptr<SessionPhoneNameHold> m_session;
};
