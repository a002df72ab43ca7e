#include "core/profile/HLProfilesManager.h"

#include "core/NSDate+HLAdditions.h"

#include <set>

std::vector<std::string> HLProfilesManager::calendarIdentifiers()
{
    std::set<std::string> identifiers;
    NSDate now = NSDate::date();
    for (const auto& profile : activeProfiles()) {
        const auto& calendars = profile->calendarIdentifiers();
        if (calendars.empty())
            continue;
        if (profile->isAllDay() || hl_isBetweenDate(now, profile->startDate(), profile->endDate()))
            identifiers.insert(calendars.begin(), calendars.end());
    }
    return { identifiers.begin(), identifiers.end() };
}
