#include "apps/common/StopSignals.h"

#include <csignal>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

StopSignals::StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaddset(&signals, signal);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    m_fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("cannot watch for the stop signals");
    m_source = NSRunLoop::main().addSource(m_fd, EPOLLIN, [this](uint32_t) {
        signalfd_siginfo info { };
        while (read(m_fd, &info, sizeof info) == sizeof info)
            m_received = static_cast<int>(info.ssi_signo);
        NSRunLoop::main().stop();
    });
}

StopSignals::~StopSignals()
{
    NSRunLoop::main().removeSource(m_source);
    close(m_fd);
}
