#include "platform/foundation/SignalSource.h"

#include <pthread.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <vector>

SignalSource::SignalSource(std::initializer_list<int> signals, Handler handler, NSRunLoop& loop)
    : m_handler(std::make_shared<Handler>(std::move(handler)))
{
    sigset_t wanted;
    sigemptyset(&wanted);
    for (int signal : signals)
        sigaddset(&wanted, signal);
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &wanted, &before);
    sigemptyset(&m_blocked);
    for (int signal : signals)
        if (!sigismember(&before, signal))
            sigaddset(&m_blocked, signal);
    m_fd.reset(signalfd(-1, &wanted, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!m_fd.isValid()) {
        pthread_sigmask(SIG_UNBLOCK, &m_blocked, nullptr);
        sigemptyset(&m_blocked);
        return;
    }
    m_source = RunLoopSource(m_fd.get(), EPOLLIN, [this](uint32_t) { onReadable(); }, loop);
}

SignalSource::~SignalSource()
{
    m_source.reset();
    m_fd.reset();
    pthread_sigmask(SIG_UNBLOCK, &m_blocked, nullptr);
}

void SignalSource::onReadable()
{
    // Every pending signal is taken at once (none is left to arrive after the source is gone);
    // the handler may destroy the source, after which the rest are dropped.
    std::vector<int> received;
    signalfd_siginfo info { };
    while (read(m_fd.get(), &info, sizeof info) == sizeof info)
        received.push_back(static_cast<int>(info.ssi_signo));
    auto handler = m_handler;
    std::weak_ptr<const bool> alive = m_alive;
    for (int signal : received) {
        if (alive.expired() || !*handler)
            break;
        (*handler)(signal);
    }
}
