#pragma once

#include "platform/machinery/FileDescriptor.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"

#include <functional>
#include <memory>
#include <sys/types.h>

// How a watched process ended.
struct ProcessExit {
    // True when it was this process's child and has been reaped here: then the fields below
    // say how it ended. Another process's end is only known to have happened.
    bool reaped { false };
    // The exit status of a child that exited, -1 otherwise.
    int exitStatus { -1 };
    // The signal that killed a child, 0 otherwise.
    int signal { 0 };
};

// The end of a process, on a run loop: a pidfd becomes readable when the process ends. A child
// of this process is reaped then (waitid), and the handler is told its status; the end of any
// other process is reported without one. The handler runs once, and may destroy the source.
// A process that is already gone is reported on the loop's next turn.
class ChildExitSource {
public:
    using Handler = std::function<void(const ProcessExit&)>;

    ChildExitSource(pid_t, Handler, NSRunLoop& = NSRunLoop::main());
    ~ChildExitSource();
    ChildExitSource(const ChildExitSource&) = delete;
    ChildExitSource& operator=(const ChildExitSource&) = delete;

    pid_t pid() const { return m_pid; }
    // False when the kernel offers no pidfd (it is older than 5.3): nothing will be reported.
    bool isWatching() const { return m_watching; }
    bool hasEnded() const { return m_ended; }

private:
    void onReadable();
    void report(const ProcessExit&);

    pid_t m_pid;
    std::shared_ptr<Handler> m_handler;
    // Gone with the source: a report queued for the next turn is then dropped.
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
    bool m_watching { false };
    bool m_ended { false };
    FileDescriptor m_pidfd;
    RunLoopSource m_source;
};
