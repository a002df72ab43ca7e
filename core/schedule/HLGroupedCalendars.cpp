#include "core/HLGroupedCalendars.h"

#include "core/schedule/HLEventManager.h"

std::vector<std::string> hl_groupedWritableCalendarIdentifiers()
{
    std::vector<std::string> identifiers;
    for (const auto& [account, calendars] : HLEventManager::sharedManager().groupedCalendars())
        for (const auto& calendar : calendars)
            identifiers.push_back(calendar->calendarIdentifier());
    return identifiers;
}
