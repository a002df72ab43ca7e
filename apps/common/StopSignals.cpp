#include "apps/common/StopSignals.h"

#include <stdexcept>

StopSignals::StopSignals()
    : m_signals({ SIGTERM, SIGINT, SIGHUP }, [this](int signal) {
        m_received = signal;
        NSRunLoop::main().stop();
    })
{
    if (!m_signals.isActive())
        throw std::runtime_error("cannot watch for the stop signals");
}
