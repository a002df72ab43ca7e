#pragma once

#include "platform/foundation/NSDate.h"

#include <optional>
#include <string>

// Time-of-day texts of the active hours ("8:00 AM"), through the shared date formatter set to
// "h:mm a".
std::string hl_timeText(const NSDate& date);
std::optional<NSDate> hl_dateFromTimeText(const std::string& text);
// Seconds since midnight of the point's clock time (hour, minute and second in the current calendar).
long hl_secondsOfDay(const NSDate& date);
