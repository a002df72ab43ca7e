#include "core/schedule/HLGroupedCalendars.h"

// The calendar database is not wired in yet: no calendar is writable.
std::vector<std::string> hl_groupedWritableCalendarIdentifiers()
{
    return {};
}
