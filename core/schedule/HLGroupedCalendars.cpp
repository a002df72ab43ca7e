#include "core/HLGroupedCalendars.h"

#include "core/schedule/HLEventManager.h"

namespace {

std::vector<std::string> writableCalendarIdentifiers()
{
    std::vector<std::string> identifiers;
    for (const auto& [account, calendars] : HLEventManager::sharedManager().groupedCalendars())
        for (const auto& calendar : calendars)
            identifiers.push_back(calendar->calendarIdentifier());
    return identifiers;
}

// Named when the library is loaded, before any profile can ask.
const bool kNamedAsSource = (hl_setGroupedWritableCalendarsSource(writableCalendarIdentifiers), true);

}
