#pragma once

#include "platform/foundation/NSDate.h"

#include <optional>

// Calendar fields of a point in time. A field left unset counts as its lowest value when a
// point is built from the fields (day and month 1, hour, minute and second 0).
struct NSDateComponents {
    std::optional<int> year, month, day, hour, minute, second;
};

// The Gregorian calendar in the device's time zone (TZ). Built on the C library's local time,
// so days with a daylight-saving change have their real length and fields out of range carry
// over (minute 75 is the next hour's minute 15).
class NSCalendar {
public:
    static NSCalendar currentCalendar() { return {}; }

    // All fields of the date in local time.
    NSDateComponents components(const NSDate&) const;
    // The point at the fields in local time; nullopt when they name no representable time.
    std::optional<NSDate> dateFromComponents(const NSDateComponents&) const;
    // The same clock time a number of calendar days later (earlier for a negative number).
    std::optional<NSDate> dateByAddingDays(const NSDate&, int days) const;
};
