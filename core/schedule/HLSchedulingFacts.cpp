#include "core/schedule/HLSchedulingFacts.h"

#include "core/profile/HLProfile.h"
#include "platform/eventkit/EKEvent.h"

HLProfileFacts hl_profileFacts(HLProfile& profile)
{
    HLProfileFacts facts;
    facts.windowStart = profile.startDate();
    facts.windowEnd = profile.endDate();
    facts.allDay = profile.isAllDay();
    facts.allDayEventsIgnored = profile.isAllDayEventsIgnored();
    facts.attendance = profile.applyProfileEventStatus();
    facts.applied = profile.isApplied();
    facts.wifiEnabled = profile.isWifiEnabled();
    return facts;
}

HLEventFacts hl_eventFacts(const EKEvent& event)
{
    return { event.startDate(), event.endDate(), event.isAllDay(), event.status() };
}

std::vector<HLEventFacts> hl_eventFacts(const std::vector<std::shared_ptr<EKEvent>>& events)
{
    std::vector<HLEventFacts> facts;
    facts.reserve(events.size());
    for (const auto& event : events)
        facts.push_back(hl_eventFacts(*event));
    return facts;
}
