#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/RunLoopTimer.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

class PCSimpleTimer;

// The pending wake-up timers of the process, in date order, served by the main run loop.
//
// Each pending timer has a run-loop timer on the alarm clock (TimerClock::RealTimeAlarm, which
// wakes a suspended machine) at its date. On the system clock that is a timerfd on
// CLOCK_REALTIME_ALARM when the process may use it, else on CLOCK_REALTIME, and a change of the
// wall clock wakes the loop so that every pending timer is checked again; between two dates the
// process does not wake. On the virtual clock it is queued on the run loop at its date, so it
// fires at exactly that moment as the loop advances.
class WakeUpTimerQueue {
public:
    static WakeUpTimerQueue& shared();

    void schedule(const std::shared_ptr<PCSimpleTimer>&);
    void cancel(const PCSimpleTimer*);
    size_t pendingCount() const { return m_pending.size(); }
    // The pending timers, earliest first (what phonectl and tests show as the armed wake-ups).
    std::vector<std::shared_ptr<PCSimpleTimer>> pendingTimers() const;
    // Fires, in date order, every pending timer whose date has come.
    void fireDueTimers();

    // Whether the timers run on the alarm clock (false until the first timer on the system
    // clock, or when the alarm clock could not be used).
    bool usesAlarmClock() const { return m_alarmClock; }

    WakeUpTimerQueue() = default;
    ~WakeUpTimerQueue();
    WakeUpTimerQueue(const WakeUpTimerQueue&) = delete;
    WakeUpTimerQueue& operator=(const WakeUpTimerQueue&) = delete;

private:
    struct Pending {
        std::shared_ptr<PCSimpleTimer> timer;
        std::unique_ptr<RunLoopTimer> wakeUp;
    };
    void arm(RunLoopTimer&, NSDate);

    using Key = std::pair<NSTimeInterval, uint64_t>;
    std::map<Key, Pending> m_pending;
    uint64_t m_sequence { 0 };
    bool m_alarmClock { false };
    bool m_warnedOfWallClock { false };
};
