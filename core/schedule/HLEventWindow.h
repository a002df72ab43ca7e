#pragma once

#include "platform/foundation/NSDate.h"

#include <cstdint>

// Whether a timed event still concerns a profile's window at `now`: it covers the whole window,
// it starts before and ends inside the window and has not ended, it lies inside and has not
// ended, or it starts inside and runs past the window's end. Together: it ends at or after the
// window's end, or it has not ended yet. Overlap with the window is not required; the power
// step checks the window itself.
bool hl_eventConcernsWindow(const NSDate& eventStart, const NSDate& eventEnd, const NSDate& windowStart, const NSDate& windowEnd, const NSDate& now);

// Whether a window or an event is open at `now`: from its start up to, not including, its end.
// The scheduler decides at the very moment a window or an event ends (its wake-up is armed for
// that moment), and then it has ended: counting the end as inside would leave the profile applied
// with no wake-up left to revert it.
inline bool hl_isOpen(const NSDate& now, const NSDate& start, const NSDate& end)
{
    return now.timeIntervalSinceDate(start) >= 0 && now.timeIntervalSinceDate(end) < 0;
}

// The whole seconds of a difference, cut towards zero as a 32-bit number (9.9 -> 9, -4.9 -> -4).
int32_t hl_wholeSeconds(double seconds);
// A start less than 5 s past or less than 10 s ahead.
inline bool hl_isStartMoment(int32_t wholeSeconds) { return wholeSeconds >= -4 && wholeSeconds <= 9; }
// An end less than 5 s past or less than 1 s ahead.
inline bool hl_isEndMoment(int32_t wholeSeconds) { return wholeSeconds >= -4 && wholeSeconds <= 0; }
