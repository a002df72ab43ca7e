#include "core/profile/HLProfile.h"

#include "core/NSDate+HLAdditions.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/PlistValue.h"

#include <algorithm>
#include <cctype>

namespace {

// The parts of a time-of-day text "h:mm a": the hour before the first ":", then the minute and
// the period, split at the first blank of what follows (up to a second ":", if any).
struct TimeParts {
    std::optional<std::string> hour, minute, period;
};

TimeParts splitTime(const std::string& text)
{
    size_t colon = text.find(':');
    // Without ":" the text names no time; it reads like a missing one.
    if (colon == std::string::npos)
        return {};
    std::string rest = text.substr(colon + 1);
    rest = rest.substr(0, rest.find(':'));
    size_t blank = rest.find(' ');
    if (blank == std::string::npos)
        return { text.substr(0, colon), rest, std::nullopt };
    std::string period = rest.substr(blank + 1);
    return { text.substr(0, colon), rest.substr(0, blank), period.substr(0, period.find(' ')) };
}

int number(const std::optional<std::string>& text)
{
    return text ? PlistValue(*text).intValue() : 0;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// "AM" 12 is midnight's hour, "PM" adds twelve except to 12; without a known period the hour
// is 0 whatever its number.
int hourOfDay(int hour, const std::optional<std::string>& period)
{
    std::string p = period ? upper(*period) : std::string();
    if (p == "AM")
        return hour == 12 ? 0 : hour;
    if (p == "PM")
        return hour == 12 ? 12 : hour + 12;
    return 0;
}

}

NSDate HLProfile::todayModifiedWithHours(const std::optional<std::string>& hour, const std::optional<std::string>& minute,
    const std::optional<std::string>& period) const
{
    auto calendar = NSCalendar::currentCalendar();
    NSDate now = NSDate::date();
    auto today = calendar.components(now);
    NSDateComponents fields { today.year, today.month, today.day, hourOfDay(number(hour), period), number(minute), std::nullopt };
    // Numbers out of range carry over as calendar arithmetic does; ones too large to be any
    // time at all leave the day's midnight.
    return calendar.dateFromComponents(fields).value_or(hl_beginningOfDay(now));
}

NSDate HLProfile::dateFromTime(const std::optional<std::string>& timeText) const
{
    TimeParts parts = timeText ? splitTime(*timeText) : TimeParts {};
    return todayModifiedWithHours(parts.hour, parts.minute, parts.period);
}

NSDate HLProfile::startDate()
{
    if (m_allDay)
        return hl_beginningOfDay(NSDate::date());
    if (!m_startDate)
        m_startDate = dateFromTime(m_startTime);
    return *m_startDate;
}

NSDate HLProfile::endDate()
{
    if (m_allDay)
        return hl_endOfDay(NSDate::date());
    if (!m_endDate)
        m_endDate = dateFromTime(m_endTime);
    return *m_endDate;
}

bool HLProfile::isDateBetweenProfileStartAndEndDate(const NSDate& date)
{
    if (m_allDay)
        return true;
    return hl_isBetweenDate(date, startDate(), endDate());
}

std::vector<NSDate> HLProfile::gimmeIntersectionDates(const NSDate& from, const NSDate& to)
{
    NSDate windowStart = startDate();
    NSDate windowEnd = endDate();
    NSDate start = windowStart.timeIntervalSinceDate(from) > 0 ? windowStart : from;
    NSDate end = windowEnd.timeIntervalSinceDate(to) > 0 ? to : windowEnd;
    return { start, end };
}
