#pragma once

#include "platform/foundation/NSDate.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

class PCSimpleTimer;

// The pending wake-up timers of the process, in date order, served by the main run loop.
//
// On the system clock one timerfd stands for the earliest pending date: absolute on the alarm
// clock (CLOCK_REALTIME_ALARM, which wakes a suspended machine) when the process may use it,
// else on CLOCK_REALTIME, and armed with cancel-on-set, so that a change of the wall clock wakes
// the loop and every pending timer is checked again. Between two dates the process does not wake.
//
// On the virtual clock each timer is a block queued on the run loop at its date, so it fires at
// exactly that moment as the loop advances.
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

    // Which clock the timerfd runs on (false until the first timer on the system clock, or when
    // the alarm clock could not be used).
    bool usesAlarmClock() const { return m_alarmClock; }

    WakeUpTimerQueue() = default;
    ~WakeUpTimerQueue();
    WakeUpTimerQueue(const WakeUpTimerQueue&) = delete;
    WakeUpTimerQueue& operator=(const WakeUpTimerQueue&) = delete;

private:
    void ensureTimerFd();
    void rearm();
    void onTimerFdReadable();

    using Key = std::pair<NSTimeInterval, uint64_t>;
    std::map<Key, std::shared_ptr<PCSimpleTimer>> m_pending;
    uint64_t m_sequence { 0 };
    int m_timerFd { -1 };
    uint64_t m_source { 0 };
    bool m_alarmClock { false };
};
