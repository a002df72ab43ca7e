#pragma once

#include "platform/foundation/SignalSource.h"

// While it lives, SIGTERM, SIGINT and SIGHUP stop the main run loop instead of killing the
// process, so that a host program ends as a whole (its sources removed, its files closed).
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The last signal that stopped the loop, 0 for none.
    int received() const { return m_received; }

private:
    int m_received { 0 };
    SignalSource m_signals;
};
