#include "platform/session/PulseLoop.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/foundation/RunLoopTimer.h"

#include <algorithm>
#include <sys/epoll.h>
#include <sys/time.h>

struct PulseLoop::Event {
    enum class Kind { Io, Time, Defer } kind;
    PulseLoop* loop { nullptr };
    void* userdata { nullptr };
    bool freed { false };
    // Io.
    int fd { -1 };
    pa_io_event_cb_t ioCallback { nullptr };
    pa_io_event_destroy_cb_t ioDestroy { nullptr };
    RunLoopSource source;
    // Time.
    pa_time_event_cb_t timeCallback { nullptr };
    pa_time_event_destroy_cb_t timeDestroy { nullptr };
    std::unique_ptr<RunLoopTimer> timer;
    timeval when {};
    // Defer.
    pa_defer_event_cb_t deferCallback { nullptr };
    pa_defer_event_destroy_cb_t deferDestroy { nullptr };
    bool enabled { false };
};

namespace {

using Event = PulseLoop::Event;

PulseLoop& loopOf(pa_mainloop_api* api)
{
    return *static_cast<PulseLoop*>(api->userdata);
}

Event* asEvent(void* event)
{
    return static_cast<Event*>(event);
}

uint32_t epollEvents(pa_io_event_flags_t flags)
{
    uint32_t events = 0;
    if (flags & PA_IO_EVENT_INPUT)
        events |= EPOLLIN;
    if (flags & PA_IO_EVENT_OUTPUT)
        events |= EPOLLOUT;
    return events;
}

pa_io_event_flags_t ioFlags(uint32_t events)
{
    int flags = PA_IO_EVENT_NULL;
    if (events & EPOLLIN)
        flags |= PA_IO_EVENT_INPUT;
    if (events & EPOLLOUT)
        flags |= PA_IO_EVENT_OUTPUT;
    if (events & EPOLLHUP)
        flags |= PA_IO_EVENT_HANGUP;
    if (events & EPOLLERR)
        flags |= PA_IO_EVENT_ERROR;
    return static_cast<pa_io_event_flags_t>(flags);
}

// The monotonic time at which a wall-clock time comes.
double monotonicDeadline(const timeval& when)
{
    timeval now {};
    gettimeofday(&now, nullptr);
    double wallLeft = (when.tv_sec - now.tv_sec) + (when.tv_usec - now.tv_usec) / 1e6;
    return RunLoopTimer::now(TimerClock::Monotonic) + std::max(0.0, wallLeft);
}

}

// The C entry points libpulse calls, with the loop's private parts at hand.
struct PulseLoopCalls {
    static Event* add(pa_mainloop_api* api, Event::Kind kind, void* userdata)
    {
        PulseLoop& loop = loopOf(api);
        auto event = std::make_unique<Event>();
        event->kind = kind;
        event->loop = &loop;
        event->userdata = userdata;
        Event* raw = event.get();
        loop.m_events.push_back(std::move(event));
        return raw;
    }

    static void markFreed(Event* event)
    {
        event->freed = true;
        event->source.reset();
        event->timer.reset();
        event->enabled = false;
        event->loop->collectFreed();
    }

    // Frees an event of any kind: its destroy callback (the member Destroy) first, if it has one.
    template<class PaEvent, auto Destroy>
    static void freeEvent(PaEvent* e)
    {
        Event* event = asEvent(e);
        if (event->*Destroy)
            (event->*Destroy)(event->loop->api(), e, event->userdata);
        markFreed(event);
    }

    static void watchIo(Event* event, pa_io_event_flags_t flags)
    {
        event->source.reset();
        uint32_t events = epollEvents(flags);
        if (!events && !(flags & (PA_IO_EVENT_HANGUP | PA_IO_EVENT_ERROR)))
            return;
        event->source = RunLoopSource(event->fd, events, [event](uint32_t occurred) {
            if (!event->freed)
                event->ioCallback(event->loop->api(), reinterpret_cast<pa_io_event*>(event), event->fd, ioFlags(occurred), event->userdata);
        });
    }

    static pa_io_event* ioNew(pa_mainloop_api* api, int fd, pa_io_event_flags_t flags, pa_io_event_cb_t callback, void* userdata)
    {
        Event* event = add(api, Event::Kind::Io, userdata);
        event->fd = fd;
        event->ioCallback = callback;
        watchIo(event, flags);
        return reinterpret_cast<pa_io_event*>(event);
    }
    static void ioEnable(pa_io_event* e, pa_io_event_flags_t flags) { watchIo(asEvent(e), flags); }
    static void ioSetDestroy(pa_io_event* e, pa_io_event_destroy_cb_t callback) { asEvent(e)->ioDestroy = callback; }

    static void armTime(Event* event, const timeval* when)
    {
        if (!when) {
            if (event->timer)
                event->timer->disarm();
            return;
        }
        event->when = *when;
        if (!event->timer)
            event->timer = std::make_unique<RunLoopTimer>(TimerClock::Monotonic, [event](TimerEvent) {
                if (!event->freed)
                    event->timeCallback(event->loop->api(), reinterpret_cast<pa_time_event*>(event), &event->when, event->userdata);
            });
        event->timer->armAt(monotonicDeadline(*when));
    }

    static pa_time_event* timeNew(pa_mainloop_api* api, const timeval* when, pa_time_event_cb_t callback, void* userdata)
    {
        Event* event = add(api, Event::Kind::Time, userdata);
        event->timeCallback = callback;
        armTime(event, when);
        return reinterpret_cast<pa_time_event*>(event);
    }
    static void timeRestart(pa_time_event* e, const timeval* when) { armTime(asEvent(e), when); }
    static void timeSetDestroy(pa_time_event* e, pa_time_event_destroy_cb_t callback) { asEvent(e)->timeDestroy = callback; }

    static pa_defer_event* deferNew(pa_mainloop_api* api, pa_defer_event_cb_t callback, void* userdata)
    {
        Event* event = add(api, Event::Kind::Defer, userdata);
        event->deferCallback = callback;
        event->enabled = true;
        event->loop->scheduleDefers();
        return reinterpret_cast<pa_defer_event*>(event);
    }
    static void deferEnable(pa_defer_event* e, int enabled)
    {
        Event* event = asEvent(e);
        event->enabled = enabled != 0;
        if (event->enabled)
            event->loop->scheduleDefers();
    }
    static void deferSetDestroy(pa_defer_event* e, pa_defer_event_destroy_cb_t callback) { asEvent(e)->deferDestroy = callback; }

    static void quit(pa_mainloop_api*, int) { }
};

PulseLoop::PulseLoop()
{
    m_api.userdata = this;
    m_api.io_new = &PulseLoopCalls::ioNew;
    m_api.io_enable = &PulseLoopCalls::ioEnable;
    m_api.io_free = &PulseLoopCalls::freeEvent<pa_io_event, &Event::ioDestroy>;
    m_api.io_set_destroy = &PulseLoopCalls::ioSetDestroy;
    m_api.time_new = &PulseLoopCalls::timeNew;
    m_api.time_restart = &PulseLoopCalls::timeRestart;
    m_api.time_free = &PulseLoopCalls::freeEvent<pa_time_event, &Event::timeDestroy>;
    m_api.time_set_destroy = &PulseLoopCalls::timeSetDestroy;
    m_api.defer_new = &PulseLoopCalls::deferNew;
    m_api.defer_enable = &PulseLoopCalls::deferEnable;
    m_api.defer_free = &PulseLoopCalls::freeEvent<pa_defer_event, &Event::deferDestroy>;
    m_api.defer_set_destroy = &PulseLoopCalls::deferSetDestroy;
    m_api.quit = &PulseLoopCalls::quit;
}

PulseLoop::~PulseLoop()
{
    *m_alive = false;
}

void PulseLoop::scheduleDefers()
{
    if (m_defersQueued)
        return;
    m_defersQueued = true;
    std::weak_ptr<bool> alive = m_alive;
    NSRunLoop::main().performBlock([this, alive] {
        if (alive.lock())
            runDefers();
    });
}

void PulseLoop::runDefers()
{
    m_defersQueued = false;
    // Callbacks may add events: walk by index over those there now.
    size_t count = m_events.size();
    for (size_t index = 0; index < count && index < m_events.size(); ++index) {
        Event* event = m_events[index].get();
        if (event->kind == Event::Kind::Defer && event->enabled && !event->freed)
            event->deferCallback(&m_api, reinterpret_cast<pa_defer_event*>(event), event->userdata);
    }
    bool anyEnabled = std::any_of(m_events.begin(), m_events.end(), [](const auto& event) {
        return event->kind == Event::Kind::Defer && event->enabled && !event->freed;
    });
    if (anyEnabled)
        scheduleDefers();
}

void PulseLoop::collectFreed()
{
    if (m_collectQueued)
        return;
    m_collectQueued = true;
    std::weak_ptr<bool> alive = m_alive;
    NSRunLoop::main().performBlock([this, alive] {
        if (!alive.lock())
            return;
        m_collectQueued = false;
        std::erase_if(m_events, [](const auto& event) { return event->freed; });
    });
}
