#pragma once

#include "platform/eventkit/EKCalendar.h"
#include "platform/foundation/NSDate.h"

#include <memory>
#include <optional>
#include <vector>

// What eventsMatchingPredicate looks for: the occurrences that overlap a range of time, in the
// given calendars (every calendar when the list is unset; none when it is empty).
struct EKEventPredicate {
    NSDate startDate;
    NSDate endDate;
    std::optional<std::vector<std::shared_ptr<EKCalendar>>> calendars;
};
