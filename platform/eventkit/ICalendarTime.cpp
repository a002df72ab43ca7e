#include "platform/eventkit/ICalendarTime.h"

#include <ctime>

std::unique_lock<std::recursive_mutex> icalendarLock()
{
    static std::recursive_mutex mutex;
    return std::unique_lock(mutex);
}

namespace {

struct tm fieldsAsTm(const icaltimetype& t)
{
    struct tm fields { };
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.is_date ? 0 : t.hour;
    fields.tm_min = t.is_date ? 0 : t.minute;
    fields.tm_sec = t.is_date ? 0 : t.second;
    fields.tm_isdst = -1;
    return fields;
}

icaltimetype tmAsFields(const struct tm& fields, bool isDate)
{
    icaltimetype t = icaltime_null_time();
    t.year = fields.tm_year + 1900;
    t.month = fields.tm_mon + 1;
    t.day = fields.tm_mday;
    if (isDate) {
        t.is_date = 1;
    } else {
        t.hour = fields.tm_hour;
        t.minute = fields.tm_min;
        t.second = fields.tm_sec;
    }
    return t;
}

} // namespace

int64_t ICalendarTime::seconds() const
{
    switch (kind) {
    case ICalendarTimeKind::Utc: {
        struct tm utc = fieldsAsTm(fields);
        return static_cast<int64_t>(timegm(&utc));
    }
    case ICalendarTimeKind::Zoned: {
        auto lock = icalendarLock();
        icaltimetype local = fields;
        local.zone = nullptr;
        return static_cast<int64_t>(icaltime_as_timet_with_zone(local, zone));
    }
    case ICalendarTimeKind::Floating:
    case ICalendarTimeKind::Date:
        break;
    }
    struct tm local = fieldsAsTm(fields);
    return static_cast<int64_t>(mktime(&local));
}

ICalendarTime ICalendarTime::at(int64_t seconds) const
{
    ICalendarTime result = *this;
    time_t t = static_cast<time_t>(seconds);
    struct tm parts { };
    switch (kind) {
    case ICalendarTimeKind::Utc:
        gmtime_r(&t, &parts);
        result.fields = tmAsFields(parts, false);
        result.fields.zone = icaltimezone_get_utc_timezone();
        break;
    case ICalendarTimeKind::Zoned: {
        // Built as UTC first and then converted: a value made directly in the zone would carry
        // the zone's clock fields labelled as UTC.
        auto lock = icalendarLock();
        icaltimetype utc = icaltime_from_timet_with_zone(t, 0, icaltimezone_get_utc_timezone());
        result.fields = icaltime_convert_to_zone(utc, zone);
        break;
    }
    case ICalendarTimeKind::Floating:
    case ICalendarTimeKind::Date:
        localtime_r(&t, &parts);
        result.fields = tmAsFields(parts, kind == ICalendarTimeKind::Date);
        break;
    }
    return result;
}

int32_t icalendarDayKey(const icaltimetype& t)
{
    return t.year * 10000 + t.month * 100 + t.day;
}

int64_t icalendarLocalMidnight(int year, int month, int day)
{
    struct tm local { };
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&local));
}
