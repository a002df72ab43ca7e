#pragma once

#include "platform/machinery/FileDescriptor.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"

#include <csignal>
#include <functional>
#include <initializer_list>
#include <memory>

// Signals delivered to a run loop instead of interrupting the process: while the source lives
// the signals are blocked in the calling thread (threads started later inherit that) and read
// from a signalfd on the loop, so the handler runs as any other work of the loop. When it goes,
// the signals that it blocked are unblocked again.
class SignalSource {
public:
    using Handler = std::function<void(int signal)>;

    SignalSource(std::initializer_list<int> signals, Handler, NSRunLoop& = NSRunLoop::main());
    ~SignalSource();
    SignalSource(const SignalSource&) = delete;
    SignalSource& operator=(const SignalSource&) = delete;

    // False when the kernel refused the signalfd: the signals are then left as they were.
    bool isActive() const { return m_source.isActive(); }

private:
    void onReadable();

    std::shared_ptr<Handler> m_handler;
    // Gone with the source: a handler that destroyed it gets no more signals.
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
    // The signals of the set that were not blocked before, to unblock at the end.
    sigset_t m_blocked { };
    FileDescriptor m_fd;
    RunLoopSource m_source;
};
