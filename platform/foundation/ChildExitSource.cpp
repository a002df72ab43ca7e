#include "platform/foundation/ChildExitSource.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace {

ProcessExit exitOf(const siginfo_t& info)
{
    ProcessExit end;
    end.reaped = true;
    if (info.si_code == CLD_EXITED)
        end.exitStatus = info.si_status;
    else
        end.signal = info.si_status;
    return end;
}

}

ChildExitSource::ChildExitSource(pid_t pid, Handler handler, NSRunLoop& loop)
    : m_pid(pid)
    , m_handler(std::make_shared<Handler>(std::move(handler)))
{
    m_pidfd.reset(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    if (m_pidfd.isValid()) {
        m_source = RunLoopSource(m_pidfd.get(), EPOLLIN, [this](uint32_t) { onReadable(); }, loop);
        m_watching = m_source.isActive();
        return;
    }
    if (errno != ESRCH)
        return;
    // No such process (any more): its end is all there is to tell.
    m_watching = true;
    std::weak_ptr<const bool> alive = m_alive;
    loop.performBlock([this, alive] {
        if (!alive.expired())
            report(ProcessExit { });
    });
}

ChildExitSource::~ChildExitSource() = default;

void ChildExitSource::onReadable()
{
    siginfo_t info { };
    if (waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(m_pidfd.get()), &info, WEXITED | WNOHANG) == 0) {
        // Readable before the child can be waited for: it is reported on a later turn.
        if (info.si_pid == 0)
            return;
        report(exitOf(info));
        return;
    }
    // ECHILD: not a child of this process (or reaped elsewhere); it has ended all the same.
    report(ProcessExit { });
}

void ChildExitSource::report(const ProcessExit& end)
{
    if (m_ended)
        return;
    m_ended = true;
    m_source.reset();
    // The handler may destroy the source: it runs from a reference of its own.
    auto handler = m_handler;
    if (*handler)
        (*handler)(end);
}
