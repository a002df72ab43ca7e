#pragma once

#include <libical/ical.h>

#include <cstdint>
#include <mutex>
#include <optional>

// libical keeps process-wide state (its built-in time zones expand their transitions on
// demand), so every use of it in the process holds this lock.
std::unique_lock<std::recursive_mutex> icalendarLock();

// How a time value of a calendar file is to be read.
enum class ICalendarTimeKind {
    Utc,      // "...Z"
    Zoned,    // with a TZID that names a known zone
    Floating, // no zone, or one nobody defines: the device's local time
    Date,     // a whole day, in the device's local time
};

// A time value as written (clock fields) and how to read it.
struct ICalendarTime {
    icaltimetype fields {};
    ICalendarTimeKind kind { ICalendarTimeKind::Floating };
    icaltimezone* zone { nullptr };

    // Seconds since 1970; a date counts from its local midnight.
    int64_t seconds() const;
    // The same kind of value at the given instant (fields in this value's zone).
    ICalendarTime at(int64_t seconds) const;
};

// yyyymmdd of a value's own fields, to compare days.
int32_t icalendarDayKey(const icaltimetype&);

// Local midnight of a day (yyyy, mm, dd; the day may run past the month's end).
int64_t icalendarLocalMidnight(int year, int month, int day);
