#include "platform/foundation/RunLoopTimer.h"

#include "platform/foundation/Clock.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <sys/epoll.h>
#include <sys/timerfd.h>

namespace {

bool isWallClock(TimerClock clock)
{
    return clock != TimerClock::Monotonic;
}

timespec absoluteTime(double time)
{
    timespec at { };
    double seconds = std::floor(time);
    at.tv_sec = static_cast<time_t>(seconds);
    at.tv_nsec = static_cast<long>((time - seconds) * 1e9);
    // Zero would disarm the timer; a time at the very start of the clock is simply due.
    if (at.tv_sec <= 0 && at.tv_nsec <= 0) {
        at.tv_sec = 0;
        at.tv_nsec = 1;
    }
    return at;
}

// Whether the alarm clock was refused before, and why: the process asks only once.
struct AlarmClockRefusal {
    std::mutex mutex;
    std::optional<std::string> reason;
};

AlarmClockRefusal& alarmClockRefusal()
{
    static AlarmClockRefusal refusal;
    return refusal;
}

// A timerfd on the alarm clock, or -1 and the reason it cannot be had. It needs CAP_WAKE_ALARM,
// and a machine without a real-time clock cannot wake from it.
int openAlarmTimer(std::string& reason)
{
    auto& refusal = alarmClockRefusal();
    std::lock_guard lock(refusal.mutex);
    if (refusal.reason) {
        reason = *refusal.reason;
        return -1;
    }
    timespec probe { };
    int fd = -1;
    if (clock_gettime(CLOCK_REALTIME_ALARM, &probe) != 0)
        reason = "the machine has no real-time clock to wake it";
    else if ((fd = timerfd_create(CLOCK_REALTIME_ALARM, TFD_NONBLOCK | TFD_CLOEXEC)) < 0)
        reason = errno == EPERM ? "the process may not wake the machine (no CAP_WAKE_ALARM)" : strerror(errno);
    if (fd < 0)
        refusal.reason = reason;
    return fd;
}

}

RunLoopTimer::RunLoopTimer(TimerClock clock, Handler handler, NSRunLoop& loop)
    : m_clock(clock)
    , m_handler(std::make_shared<Handler>(std::move(handler)))
    , m_loop(loop)
{
}

RunLoopTimer::~RunLoopTimer() = default;

std::optional<std::string> RunLoopTimer::alarmClockRefusal()
{
    std::string reason;
    FileDescriptor probe(openAlarmTimer(reason));
    if (probe.get() >= 0)
        return std::nullopt;
    return reason;
}

double RunLoopTimer::now(TimerClock clock)
{
    if (isWallClock(clock))
        return Clock::process().now();
    timespec ts { };
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool RunLoopTimer::queuesOnLoop() const
{
    // Monotonic time is real time on any process clock; only the wall clock can be virtual.
    return isWallClock(m_clock) && Clock::process().isVirtual();
}

bool RunLoopTimer::armAt(double time)
{
    ++*m_generation;
    m_armedAt = time;
    if (queuesOnLoop()) {
        disarmDescriptor();
        queueOnLoop(time);
        return true;
    }
    if (armDescriptor(time))
        return true;
    m_armedAt.reset();
    return false;
}

void RunLoopTimer::disarm()
{
    ++*m_generation;
    m_armedAt.reset();
    disarmDescriptor();
}

void RunLoopTimer::queueOnLoop(double time)
{
    std::weak_ptr<uint64_t> current = m_generation;
    m_loop.performBlockAtDate(NSDate(time), [this, current, generation = *m_generation] {
        auto live = current.lock();
        if (!live || *live != generation)
            return;
        m_armedAt.reset();
        fire(TimerEvent::Fired);
    });
}

bool RunLoopTimer::armDescriptor(double time)
{
    if (!m_fd.isValid() && !openDescriptor())
        return false;
    itimerspec deadline { };
    deadline.it_value = absoluteTime(time);
    int flags = TFD_TIMER_ABSTIME | (isWallClock(m_clock) ? TFD_TIMER_CANCEL_ON_SET : 0);
    return timerfd_settime(m_fd.get(), flags, &deadline, nullptr) == 0;
}

void RunLoopTimer::disarmDescriptor()
{
    // Without TFD_TIMER_CANCEL_ON_SET a disarmed timer does not hear the wall clock either.
    itimerspec none { };
    if (m_fd.isValid())
        timerfd_settime(m_fd.get(), 0, &none, nullptr);
}

bool RunLoopTimer::openDescriptor()
{
    int fd = -1;
    TimerClock kernelClock = m_clock;
    if (m_clock == TimerClock::RealTimeAlarm && (fd = openAlarmTimer(m_fallbackReason)) < 0)
        kernelClock = TimerClock::RealTime;
    if (fd < 0)
        fd = timerfd_create(kernelClock == TimerClock::Monotonic ? CLOCK_MONOTONIC : CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0)
        return false;
    m_fd.reset(fd);
    m_kernelClock = kernelClock;
    m_source = RunLoopSource(fd, EPOLLIN, [this](uint32_t) { onReadable(); }, m_loop);
    return true;
}

void RunLoopTimer::onReadable()
{
    uint64_t expirations = 0;
    ssize_t n = read(m_fd.get(), &expirations, sizeof expirations);
    if (n == sizeof expirations) {
        m_armedAt.reset();
        fire(TimerEvent::Fired);
    } else if (n < 0 && errno == ECANCELED) {
        // Arming again clears the cancellation, so that the timer keeps its time on the new clock.
        if (m_armedAt)
            armDescriptor(*m_armedAt);
        fire(TimerEvent::ClockChanged);
    }
    // EAGAIN: the timer was re-armed after it became readable; it fires at its new time.
}

void RunLoopTimer::fire(TimerEvent event)
{
    // The handler may destroy the timer: it runs from a reference of its own.
    auto handler = m_handler;
    if (*handler)
        (*handler)(event);
}
