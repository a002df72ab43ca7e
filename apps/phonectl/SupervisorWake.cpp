#include "apps/phonectl/SupervisorWake.h"

#include "apps/phonectl/ControlClient.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>

SupervisorWake::SupervisorWake()
{
    sigemptyset(&m_signals);
    for (int signal : { SIGTERM, SIGINT, SIGHUP, SIGCHLD })
        sigaddset(&m_signals, signal);
    sigprocmask(SIG_BLOCK, &m_signals, nullptr);
    m_signalFd.reset(signalfd(-1, &m_signals, SFD_CLOEXEC));
    if (!m_signalFd.isValid())
        throw PhonectlError(std::string("cannot watch the supervisor's signals: ") + strerror(errno));
}

void SupervisorWake::holdSession(std::unique_ptr<SessionPhoneNameHold> session)
{
    m_session = std::move(session);
}

SupervisorWake::Event SupervisorWake::next(int timeoutMs)
{
    for (;;) {
        pollfd ready[2] = { { m_signalFd.get(), POLLIN, 0 }, { m_session ? m_session->descriptor() : -1, POLLIN, 0 } };
        int n = poll(ready, m_session ? 2 : 1, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Event::TimedOut;
        if (ready[0].revents & POLLIN)
            return readSignal();
        if (m_session && ready[1].revents && !m_session->isConnected()) {
            std::fprintf(stderr, "phonectl: the session ended (its bus is gone); stopping the phone\n");
            m_session.reset();
            return Event::Stop;
        }
    }
}

SupervisorWake::Event SupervisorWake::readSignal()
{
    signalfd_siginfo info {};
    if (read(m_signalFd.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        return Event::TimedOut;
    return info.ssi_signo == SIGCHLD ? Event::ChildEnded : Event::Stop;
}
