#include "core/schedule/HLEventWindow.h"

#include <cmath>
#include <limits>

bool hl_eventConcernsWindow(const NSDate& start, const NSDate& end, const NSDate& windowStart, const NSDate& windowEnd, const NSDate& now)
{
    double startsAfterWindowStart = start.timeIntervalSinceDate(windowStart);
    double endsAfterWindowEnd = end.timeIntervalSinceDate(windowEnd);
    bool notEnded = now.timeIntervalSinceDate(end) < 0;
    if (startsAfterWindowStart <= 0 && endsAfterWindowEnd >= 0)
        return true;
    if (startsAfterWindowStart <= 0 && endsAfterWindowEnd <= 0 && notEnded)
        return true;
    if (startsAfterWindowStart >= 0 && endsAfterWindowEnd <= 0 && notEnded)
        return true;
    return startsAfterWindowStart >= 0 && endsAfterWindowEnd >= 0;
}

int32_t hl_wholeSeconds(double seconds)
{
    if (!(seconds == seconds))
        return 0;
    double whole = std::trunc(seconds);
    if (whole > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (whole < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(whole);
}
