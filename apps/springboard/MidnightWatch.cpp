#include "apps/springboard/MidnightWatch.h"

#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSLog.h"

#include <cerrno>
#include <cmath>
#include <cstring>

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

MidnightWatch::~MidnightWatch() = default;

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
    // Whether the time came or the wall clock was set, check() looks at the day again.
    if (m_timer.armAt(nextMidnight(NSDate::date()).timeIntervalSince1970()))
        return;
    int error = errno;
    if (!m_timer.kernelClock())
        NSLog("SpringBoard: cannot create the midnight timer: %s", strerror(error));
    else
        NSLog("SpringBoard: cannot arm the midnight timer: %s", strerror(error));
}
