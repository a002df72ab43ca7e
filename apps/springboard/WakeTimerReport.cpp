#include "apps/springboard/WakeTimerReport.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoopTimer.h"

std::string wakeTimerReport()
{
    if (Clock::process().isVirtual())
        return "SpringBoard: wake-up timers follow the virtual clock (no real wake timers)";
    if (auto refusal = RunLoopTimer::alarmClockRefusal())
        return "SpringBoard: no real wake timers: wake-up timers use CLOCK_REALTIME, because " + *refusal
            + "; they fire on time while the machine is awake, and at once after it woke up";
    return "SpringBoard: real wake timers: wake-up timers use CLOCK_REALTIME_ALARM and wake a suspended machine";
}
