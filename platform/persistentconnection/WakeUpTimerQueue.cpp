#include "platform/persistentconnection/WakeUpTimerQueue.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSLog.h"
#include "platform/persistentconnection/PCSimpleTimer.h"

#include <cerrno>
#include <cstring>
#include <vector>

WakeUpTimerQueue& WakeUpTimerQueue::shared()
{
    // Never destroyed: timers may still be pending when the process exits.
    static auto* queue = new WakeUpTimerQueue;
    return *queue;
}

WakeUpTimerQueue::~WakeUpTimerQueue() = default;

void WakeUpTimerQueue::schedule(const std::shared_ptr<PCSimpleTimer>& timer)
{
    NSDate date = timer->fireDate();
    // Whatever woke the loop (the date, a change of the wall clock), every pending date is
    // checked again, so a timer whose date was jumped over fires then.
    auto wakeUp = std::make_unique<RunLoopTimer>(TimerClock::RealTimeAlarm, [this](TimerEvent) { fireDueTimers(); });
    RunLoopTimer& armed = *wakeUp;
    m_pending.emplace(Key { date.timeIntervalSince1970(), ++m_sequence }, Pending { timer, std::move(wakeUp) });
    arm(armed, date);
}

void WakeUpTimerQueue::arm(RunLoopTimer& wakeUp, NSDate date)
{
    bool armed = wakeUp.armAt(date.timeIntervalSince1970());
    int error = errno;
    if (auto clock = wakeUp.kernelClock()) {
        m_alarmClock = *clock == TimerClock::RealTimeAlarm;
        if (!m_alarmClock && !m_warnedOfWallClock) {
            m_warnedOfWallClock = true;
            NSLog("Warning: wake-up timers use CLOCK_REALTIME instead of CLOCK_REALTIME_ALARM: %s; they fire on time but do not wake a suspended machine",
                wakeUp.fallbackReason().c_str());
        }
    }
    if (armed)
        return;
    if (!wakeUp.kernelClock())
        NSLog("Error: cannot create a timer for wake-ups: %s", strerror(error));
    else
        NSLog("Error: cannot arm the wake-up timer: %s", strerror(error));
}

void WakeUpTimerQueue::cancel(const PCSimpleTimer* timer)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->second.timer.get() == timer) {
            m_pending.erase(it);
            break;
        }
    }
}

std::vector<std::shared_ptr<PCSimpleTimer>> WakeUpTimerQueue::pendingTimers() const
{
    std::vector<std::shared_ptr<PCSimpleTimer>> timers;
    for (const auto& [key, pending] : m_pending)
        timers.push_back(pending.timer);
    return timers;
}

void WakeUpTimerQueue::fireDueTimers()
{
    NSTimeInterval now = Clock::process().now();
    // Taken out before any fires (a timer's target may schedule or cancel others); their
    // run-loop timers go once all have fired.
    std::vector<Pending> due;
    while (!m_pending.empty() && m_pending.begin()->first.first <= now) {
        due.push_back(std::move(m_pending.begin()->second));
        m_pending.erase(m_pending.begin());
    }
    for (auto& pending : due)
        pending.timer->fire();
}
