#pragma once

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/machinery/FileDescriptor.h"

#include <glib.h>
#include <memory>
#include <set>
#include <vector>

// GLib's default main context turned by the process's main run loop, so that GLib's work
// (GSettings' change signals, GDBus's replies, timeouts, idles) runs on the loop's thread between
// everything else, with no thread of ours.
//
// On every turn, before the loop waits, the context is prepared and asked for its descriptors and
// its next time-out: the descriptors go into an inner epoll set whose one descriptor the loop
// watches, and the time-out shortens the loop's wait. After the wait the descriptors' events are
// read (a poll that does not wait) and the context is checked and dispatched. Nothing is polled
// while nothing happens: an idle pump costs no wake-up.
//
// The loop's thread owns the context while a pump lives; there is one pump per process, shared by
// whoever needs GLib.
class GLibPump {
public:
    static std::shared_ptr<GLibPump> shared();

    explicit GLibPump(NSRunLoop& = NSRunLoop::main());
    ~GLibPump();
    GLibPump(const GLibPump&) = delete;
    GLibPump& operator=(const GLibPump&) = delete;

    GMainContext* context() const { return m_context; }

private:
    NSTimeInterval prepare();
    bool dispatch();
    // Makes the inner set watch exactly the descriptors of the last query; false when one of
    // them cannot be watched (then the loop must not wait).
    bool watchDescriptors();

    NSRunLoop& m_loop;
    GMainContext* m_context { nullptr };
    bool m_owned { false };
    FileDescriptor m_epoll;
    RunLoopSource m_source;
    NSRunLoop::ObserverID m_observer { 0 };
    // The last query: its descriptors (m_fds holds room for more) and the priority it was for.
    std::vector<GPollFD> m_fds;
    size_t m_fdCount { 0 };
    gint m_priority { 0 };
    bool m_prepared { false };
    // The descriptors in the inner set.
    std::set<int> m_watched;
};
