#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/RunLoopTimer.h"

#include <functional>
#include <memory>

// Tells SpringBoard that a local midnight has passed: at every local midnight, and whenever the
// wall clock is set to another day (either way). Nothing polls: a run-loop timer on the wall
// clock is armed for the next midnight; on the system clock it also reports a change of the
// wall clock at once, and on the virtual clock the host calls clockWasSet() after it has moved
// the clock.
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

    Handler m_handler;
    // The local day last seen, as the date of its midnight.
    NSTimeInterval m_day { 0 };
    RunLoopTimer m_timer { TimerClock::RealTime, [this](TimerEvent) { check(); } };
};
