#include "platform/foundation/NSDate.h"

#include "platform/foundation/Clock.h"

#include <cmath>
#include <ctime>

NSDate NSDate::date()
{
    return NSDate(Clock::process().now());
}

NSDate NSDate::dateWithTimeIntervalSinceNow(NSTimeInterval t)
{
    return date().dateByAddingTimeInterval(t);
}

NSTimeInterval NSDate::timeIntervalSinceNow() const
{
    return timeIntervalSinceDate(date());
}

std::string NSDate::description() const
{
    time_t seconds = static_cast<time_t>(std::floor(m_since1970));
    struct tm local { };
    localtime_r(&seconds, &local);
    char text[64];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}
