#include "platform/foundation/NSCalendar.h"

#include <cerrno>
#include <cmath>
#include <ctime>

NSDateComponents NSCalendar::components(const NSDate& date) const
{
    time_t seconds = static_cast<time_t>(std::floor(date.timeIntervalSince1970()));
    struct tm local { };
    localtime_r(&seconds, &local);
    return { local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec };
}

std::optional<NSDate> NSCalendar::dateFromComponents(const NSDateComponents& c) const
{
    struct tm local { };
    local.tm_year = c.year.value_or(1) - 1900;
    local.tm_mon = c.month.value_or(1) - 1;
    local.tm_mday = c.day.value_or(1);
    local.tm_hour = c.hour.value_or(0);
    local.tm_min = c.minute.value_or(0);
    local.tm_sec = c.second.value_or(0);
    local.tm_isdst = -1;
    errno = 0;
    time_t seconds = mktime(&local);
    if (seconds == static_cast<time_t>(-1) && errno != 0)
        return std::nullopt;
    return NSDate(static_cast<NSTimeInterval>(seconds));
}

std::optional<NSDate> NSCalendar::dateByAddingDays(const NSDate& date, int days) const
{
    auto fields = components(date);
    double fraction = date.timeIntervalSince1970() - std::floor(date.timeIntervalSince1970());
    fields.day = *fields.day + days;
    auto result = dateFromComponents(fields);
    if (!result)
        return std::nullopt;
    return result->dateByAddingTimeInterval(fraction);
}
