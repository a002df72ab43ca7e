#include "platform/session/GLibPump.h"

#include "platform/foundation/NSLog.h"

#include <cerrno>
#include <map>
#include <sys/epoll.h>

namespace {

uint32_t epollEvents(gushort events)
{
    uint32_t wanted = 0;
    if (events & G_IO_IN)
        wanted |= EPOLLIN;
    if (events & G_IO_PRI)
        wanted |= EPOLLPRI;
    if (events & G_IO_OUT)
        wanted |= EPOLLOUT;
    return wanted;
}

}

std::shared_ptr<GLibPump> GLibPump::shared()
{
    static std::weak_ptr<GLibPump> current;
    auto pump = current.lock();
    if (!pump) {
        pump = std::make_shared<GLibPump>();
        current = pump;
    }
    return pump;
}

GLibPump::GLibPump(NSRunLoop& loop)
    : m_loop(loop)
    , m_context(g_main_context_ref(g_main_context_default()))
    , m_epoll(epoll_create1(EPOLL_CLOEXEC))
{
    m_owned = g_main_context_acquire(m_context);
    if (!m_owned || !m_epoll.isValid()) {
        NSLog("Session: GLib's main context cannot be served by the run loop (%s)",
            m_owned ? "no epoll descriptor" : "another thread owns it");
        return;
    }
    // Whatever woke the inner set is handled after the wait, where the context is checked.
    m_source = RunLoopSource(m_epoll.get(), EPOLLIN, [](uint32_t) { }, m_loop);
    m_observer = m_loop.addWaitObserver({
        .beforeWait = [this] { return prepare(); },
        .afterWait = [this] { return dispatch(); },
    });
}

GLibPump::~GLibPump()
{
    if (m_observer)
        m_loop.removeWaitObserver(m_observer);
    m_source.reset();
    if (m_owned)
        g_main_context_release(m_context);
    g_main_context_unref(m_context);
}

NSTimeInterval GLibPump::prepare()
{
    g_main_context_prepare(m_context, &m_priority);
    gint timeout = -1;
    for (;;) {
        gint needed = g_main_context_query(m_context, m_priority, &timeout, m_fds.data(), static_cast<gint>(m_fds.size()));
        if (static_cast<size_t>(needed) <= m_fds.size()) {
            m_fdCount = static_cast<size_t>(needed);
            break;
        }
        m_fds.resize(static_cast<size_t>(needed));
    }
    m_prepared = true;
    if (!watchDescriptors())
        return 0;
    return timeout < 0 ? -1.0 : timeout / 1000.0;
}

bool GLibPump::watchDescriptors()
{
    // One descriptor may stand in the query more than once, for different events.
    std::map<int, uint32_t> wanted;
    for (size_t i = 0; i < m_fdCount; ++i)
        wanted[m_fds[i].fd] |= epollEvents(m_fds[i].events);
    for (auto it = m_watched.begin(); it != m_watched.end();) {
        if (wanted.count(*it)) {
            ++it;
            continue;
        }
        // Fails harmlessly for a descriptor GLib has closed already (epoll dropped it then).
        epoll_ctl(m_epoll.get(), EPOLL_CTL_DEL, *it, nullptr);
        it = m_watched.erase(it);
    }
    bool watchable = true;
    for (const auto& [fd, events] : wanted) {
        epoll_event event {};
        event.events = events;
        event.data.fd = fd;
        // Modified every turn: a descriptor closed and its number given to a new one is then
        // unknown to epoll (ENOENT) and added again.
        if (epoll_ctl(m_epoll.get(), EPOLL_CTL_MOD, fd, &event) == 0)
            continue;
        if (errno == ENOENT && epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, fd, &event) == 0) {
            m_watched.insert(fd);
            continue;
        }
        // A descriptor epoll refuses (a regular file) is always ready, as poll would say.
        m_watched.erase(fd);
        watchable = false;
    }
    return watchable;
}

bool GLibPump::dispatch()
{
    if (!m_prepared)
        return false;
    m_prepared = false;
    if (m_fdCount > 0 && g_poll(m_fds.data(), static_cast<guint>(m_fdCount), 0) < 0)
        for (size_t i = 0; i < m_fdCount; ++i)
            m_fds[i].revents = 0;
    if (!g_main_context_check(m_context, m_priority, m_fds.data(), static_cast<gint>(m_fdCount)))
        return false;
    // A callback may turn the loop again (a nested turn prepares afresh): nothing of this turn's
    // query is used after this point.
    g_main_context_dispatch(m_context);
    return true;
}
