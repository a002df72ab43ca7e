#include "apps/common/LocalTime.h"

#include "platform/foundation/NSCalendar.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

bool digits(const std::string& text, size_t from, size_t count, int& value)
{
    if (from + count > text.size())
        return false;
    value = 0;
    for (size_t i = from; i < from + count; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}

std::optional<NSDate> parseLocalTime(const std::string& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !digits(text, 5, 2, month) || text[7] != '-'
        || !digits(text, 8, 2, day))
        return std::nullopt;
    if (text.size() > 10) {
        bool withSeconds = text.size() == 19;
        if ((text.size() != 16 && !withSeconds) || text[10] != 'T' || !digits(text, 11, 2, hour) || text[13] != ':'
            || !digits(text, 14, 2, minute))
            return std::nullopt;
        if (withSeconds && (text[16] != ':' || !digits(text, 17, 2, second)))
            return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    NSCalendar calendar = NSCalendar::currentCalendar();
    auto date = calendar.dateFromComponents({ year, month, day, hour, minute, second });
    if (!date)
        return std::nullopt;
    // A day the month does not have carries over into the next month: refuse it.
    NSDateComponents back = calendar.components(*date);
    if (back.day != day || back.month != month)
        return std::nullopt;
    return date;
}

std::string formatLocalTime(NSDate date)
{
    double seconds = date.timeIntervalSince1970();
    double whole = std::floor(seconds);
    time_t t = static_cast<time_t>(whole);
    struct tm local { };
    localtime_r(&t, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::string out = text;
    int millis = static_cast<int>(std::lround((seconds - whole) * 1000));
    if (millis > 0 && millis < 1000) {
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", millis);
        out += fraction;
    }
    return out;
}
