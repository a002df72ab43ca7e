#include "apps/springboard/MidnightWatch.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSLog.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

NSTimeInterval startOfDay(NSDate date)
{
    NSCalendar calendar = NSCalendar::currentCalendar();
    NSDateComponents fields = calendar.components(date);
    fields.hour = 0;
    fields.minute = 0;
    fields.second = 0;
    auto midnight = calendar.dateFromComponents(fields);
    return midnight ? midnight->timeIntervalSince1970() : std::floor(date.timeIntervalSince1970() / 86400) * 86400;
}

}

MidnightWatch::MidnightWatch(Handler midnightPassed)
    : m_handler(std::move(midnightPassed))
{
}

MidnightWatch::~MidnightWatch()
{
    if (m_source)
        NSRunLoop::main().removeSource(m_source);
    if (m_timerFd >= 0)
        close(m_timerFd);
}

NSDate MidnightWatch::nextMidnight(NSDate date)
{
    NSCalendar calendar = NSCalendar::currentCalendar();
    NSDate today(startOfDay(date));
    auto tomorrow = calendar.dateByAddingDays(today, 1);
    NSDate next = tomorrow ? *tomorrow : NSDate(today.timeIntervalSince1970() + 86400);
    // A day whose midnight does not exist (a daylight-saving change at 00:00) starts at the
    // first moment after it; startOfDay of a moment of that day finds it.
    return NSDate(startOfDay(NSDate(next.timeIntervalSince1970() + 3 * 3600)));
}

void MidnightWatch::start()
{
    m_day = startOfDay(NSDate::date());
    arm();
}

void MidnightWatch::clockWasSet()
{
    check();
}

void MidnightWatch::check()
{
    NSTimeInterval day = startOfDay(NSDate::date());
    bool passed = day != m_day;
    m_day = day;
    arm();
    if (passed && m_handler)
        m_handler();
}

void MidnightWatch::arm()
{
    NSDate midnight = nextMidnight(NSDate::date());
    uint64_t generation = ++*m_generation;
    if (!Clock::process().isVirtual()) {
        armTimerFd(midnight);
        return;
    }
    std::weak_ptr<uint64_t> current = m_generation;
    NSRunLoop::main().performBlockAtDate(midnight, [this, current, generation] {
        auto live = current.lock();
        if (live && *live == generation)
            check();
    });
}

void MidnightWatch::armTimerFd(NSDate midnight)
{
    if (m_timerFd < 0) {
        m_timerFd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_timerFd < 0) {
            NSLog("SpringBoard: cannot create the midnight timer: %s", strerror(errno));
            return;
        }
        m_source = NSRunLoop::main().addSource(m_timerFd, EPOLLIN, [this](uint32_t) { onTimerFd(); });
    }
    struct itimerspec deadline { };
    deadline.it_value.tv_sec = static_cast<time_t>(midnight.timeIntervalSince1970());
    if (timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &deadline, nullptr) != 0)
        NSLog("SpringBoard: cannot arm the midnight timer: %s", strerror(errno));
}

void MidnightWatch::onTimerFd()
{
    uint64_t expirations = 0;
    // ECANCELED: the wall clock was set; either way the day is checked again.
    if (read(m_timerFd, &expirations, sizeof expirations) < 0 && errno != ECANCELED && errno != EAGAIN)
        NSLog("SpringBoard: reading the midnight timer failed: %s", strerror(errno));
    check();
}
