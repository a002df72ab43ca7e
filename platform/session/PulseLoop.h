#pragma once

#include <pulse/mainloop-api.h>

#include <memory>
#include <vector>

// libpulse's main-loop interface (pa_mainloop_api) on the process's main run loop, so that the
// sound server's messages are handled on the main thread between everything else, with no
// thread and no lock: an io event is a watched descriptor, a time event a one-shot timer on the
// monotonic clock (libpulse hands a loop it does not own wall-clock times; they are turned into
// monotonic ones, so that neither a virtual process clock nor a change of the wall clock moves
// them), and enabled defer events run on the loop's next turn, again on every turn while they
// stay enabled.
//
// A freed event is only marked: it is deleted on a later turn, never while one of its own
// callbacks runs. The loop must outlive every context that uses it.
class PulseLoop {
public:
    PulseLoop();
    ~PulseLoop();
    PulseLoop(const PulseLoop&) = delete;
    PulseLoop& operator=(const PulseLoop&) = delete;

    pa_mainloop_api* api() { return &m_api; }

    struct Event;

private:
    void scheduleDefers();
    void runDefers();
    void collectFreed();

    pa_mainloop_api m_api {};
    std::vector<std::unique_ptr<Event>> m_events;
    bool m_defersQueued { false };
    bool m_collectQueued { false };
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    friend struct PulseLoopCalls;
};
