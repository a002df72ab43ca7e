#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSRunLoop.h"

#include <functional>
#include <memory>

// Tells SpringBoard that a local midnight has passed: at every local midnight, and whenever the
// wall clock is set to another day (either way). Nothing polls: on the system clock a timerfd
// on CLOCK_REALTIME armed for the next midnight, with cancel-on-set so that a change of the
// wall clock is heard at once; on the virtual clock a block on the run loop at the next
// midnight, and clockWasSet() after the host has moved the clock.
class MidnightWatch {
public:
    using Handler = std::function<void()>;

    explicit MidnightWatch(Handler midnightPassed);
    ~MidnightWatch();
    MidnightWatch(const MidnightWatch&) = delete;
    MidnightWatch& operator=(const MidnightWatch&) = delete;

    // Starts watching from the present day.
    void start();
    // The clock was set: a different local day than the one last seen counts as a midnight.
    void clockWasSet();

    // The first local midnight after the date.
    static NSDate nextMidnight(NSDate);

private:
    void check();
    void arm();
    void armTimerFd(NSDate);
    void onTimerFd();

    Handler m_handler;
    // The local day last seen, as the date of its midnight.
    NSTimeInterval m_day { 0 };
    // Blocks queued for an earlier arming are stale once the watch has been armed again.
    std::shared_ptr<uint64_t> m_generation = std::make_shared<uint64_t>(0);
    int m_timerFd { -1 };
    NSRunLoop::SourceID m_source { 0 };
};
