#include "platform/persistentconnection/WakeUpTimerQueue.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/persistentconnection/PCSimpleTimer.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

namespace {

// A timerfd on the alarm clock when the process may use it. It needs CAP_WAKE_ALARM, and a
// machine without a real-time clock cannot wake from it; then the wall clock serves, which
// fires the same timers but does not wake a suspended machine.
int createTimerFd(bool& alarmClock)
{
    struct timespec probe { };
    int fd = -1;
    const char* reason = nullptr;
    if (clock_gettime(CLOCK_REALTIME_ALARM, &probe) != 0)
        reason = "the machine has no real-time clock to wake it";
    else if ((fd = timerfd_create(CLOCK_REALTIME_ALARM, TFD_NONBLOCK | TFD_CLOEXEC)) < 0)
        reason = errno == EPERM ? "the process may not wake the machine (no CAP_WAKE_ALARM)" : strerror(errno);
    if (fd >= 0) {
        alarmClock = true;
        return fd;
    }
    NSLog("Warning: wake-up timers use CLOCK_REALTIME instead of CLOCK_REALTIME_ALARM: %s; they fire on time but do not wake a suspended machine", reason);
    alarmClock = false;
    return timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
}

}

WakeUpTimerQueue& WakeUpTimerQueue::shared()
{
    // Never destroyed: timers may still be pending when the process exits.
    static auto* queue = new WakeUpTimerQueue;
    return *queue;
}

WakeUpTimerQueue::~WakeUpTimerQueue()
{
    if (m_source)
        NSRunLoop::main().removeSource(m_source);
    if (m_timerFd >= 0)
        close(m_timerFd);
}

void WakeUpTimerQueue::schedule(const std::shared_ptr<PCSimpleTimer>& timer)
{
    NSTimeInterval date = timer->fireDate().timeIntervalSince1970();
    m_pending.emplace(Key { date, ++m_sequence }, timer);
    if (Clock::process().isVirtual()) {
        NSRunLoop::main().performBlockAtDate(timer->fireDate(), [this] { fireDueTimers(); });
        return;
    }
    ensureTimerFd();
    rearm();
}

void WakeUpTimerQueue::cancel(const PCSimpleTimer* timer)
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->second.get() == timer) {
            m_pending.erase(it);
            break;
        }
    }
    if (!Clock::process().isVirtual() && m_timerFd >= 0)
        rearm();
}

std::vector<std::shared_ptr<PCSimpleTimer>> WakeUpTimerQueue::pendingTimers() const
{
    std::vector<std::shared_ptr<PCSimpleTimer>> timers;
    for (const auto& [key, timer] : m_pending)
        timers.push_back(timer);
    return timers;
}

void WakeUpTimerQueue::fireDueTimers()
{
    NSTimeInterval now = Clock::process().now();
    std::vector<std::shared_ptr<PCSimpleTimer>> due;
    while (!m_pending.empty() && m_pending.begin()->first.first <= now) {
        due.push_back(m_pending.begin()->second);
        m_pending.erase(m_pending.begin());
    }
    for (auto& timer : due)
        timer->fire();
    if (!Clock::process().isVirtual() && m_timerFd >= 0)
        rearm();
}

void WakeUpTimerQueue::ensureTimerFd()
{
    if (m_timerFd >= 0)
        return;
    m_timerFd = createTimerFd(m_alarmClock);
    if (m_timerFd < 0) {
        NSLog("Error: cannot create a timer for wake-ups: %s", strerror(errno));
        return;
    }
    m_source = NSRunLoop::main().addSource(m_timerFd, EPOLLIN, [this](uint32_t) { onTimerFdReadable(); });
}

void WakeUpTimerQueue::rearm()
{
    if (m_timerFd < 0)
        return;
    // With nothing pending the timer is still armed far ahead, so that a change of the wall
    // clock is heard (cancel-on-set only reports changes to an armed timer).
    NSTimeInterval date = m_pending.empty() ? Clock::process().now() + 365.0 * 86400 : m_pending.begin()->first.first;
    struct itimerspec deadline { };
    double seconds = std::floor(date);
    deadline.it_value.tv_sec = static_cast<time_t>(seconds);
    deadline.it_value.tv_nsec = static_cast<long>((date - seconds) * 1e9);
    // Zero would disarm the timer; a date at the very start of the epoch is simply due.
    if (deadline.it_value.tv_sec <= 0 && deadline.it_value.tv_nsec == 0)
        deadline.it_value.tv_nsec = 1;
    if (timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &deadline, nullptr) != 0)
        NSLog("Error: cannot arm the wake-up timer: %s", strerror(errno));
}

void WakeUpTimerQueue::onTimerFdReadable()
{
    uint64_t expirations = 0;
    ssize_t n = read(m_timerFd, &expirations, sizeof expirations);
    // ECANCELED: the wall clock was set. Either way every pending date is checked again, so a
    // timer whose date was jumped over fires now.
    if (n < 0 && errno != ECANCELED && errno != EAGAIN)
        NSLog("Error: reading the wake-up timer failed: %s", strerror(errno));
    fireDueTimers();
}
