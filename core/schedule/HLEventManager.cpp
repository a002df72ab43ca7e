#include "core/schedule/HLEventManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "core/profile/EKEvent+Hushline.h"
#include "core/schedule/HLEventWindow.h"
#include "core/NSDate+HLAdditions.h"
#include "platform/foundation/NSNotificationCenter.h"

#include <mutex>

namespace {

thread_local bool initializingSharedManager = false;

}

HLEventManager& HLEventManager::sharedManager()
{
    static HLEventManager manager;
    static std::once_flag initialized;
    // Registering the observer starts the profile store, whose start may come back here (a
    // profile filling its calendar list); that call gets the manager, whose store exists by then.
    if (!initializingSharedManager) {
        std::call_once(initialized, [] {
            initializingSharedManager = true;
            manager.initialize();
            initializingSharedManager = false;
        });
    }
    return manager;
}

void HLEventManager::initialize()
{
    m_eventStore = EKEventStore::init();
    HLProfilesManager* observer = &HLProfilesManager::sharedManager();
    NSNotificationCenter::defaultCenter().addObserver(observer, EKEventStoreChangedNotification, m_eventStore,
        [](const NSNotification& notification) { HLProfilesManager::sharedManager().eventStoreChanged(notification); });
}

HLEventManager::Calendars HLEventManager::calendars()
{
    return m_eventStore->calendarsForEntityType(EKEntityTypeEvent);
}

std::map<std::string, HLEventManager::Calendars> HLEventManager::groupedCalendars()
{
    std::map<std::string, Calendars> groups;
    for (auto& calendar : calendars()) {
        if (!calendar->allowsContentModifications())
            continue;
        groups[calendar->source() ? calendar->source()->title() : std::string()].push_back(calendar);
    }
    return groups;
}

HLEventManager::Calendars HLEventManager::allCalendars(const std::vector<std::string>& identifiers)
{
    Calendars result;
    if (identifiers.empty())
        return result;
    for (auto& calendar : calendars()) {
        for (const auto& identifier : identifiers) {
            if (calendar->calendarIdentifier() == identifier) {
                result.push_back(calendar);
                break;
            }
        }
    }
    return result;
}

HLEventManager::Events HLEventManager::eventsOfToday(const Calendars& calendars)
{
    NSDate now = NSDate::date();
    auto predicate = m_eventStore->predicateForEventsWithStartDate(hl_beginningOfDay(now), hl_endOfDay(now), calendars);
    return m_eventStore->eventsMatchingPredicate(predicate);
}

HLEventManager::Events HLEventManager::eventsForToday()
{
    return eventsOfToday(allCalendars(HLProfilesManager::sharedManager().calendarIdentifiers()));
}

std::optional<HLEventManager::Events> HLEventManager::eventsForProfile(const std::shared_ptr<HLProfile>& profile)
{
    const auto& identifiers = profile->calendarIdentifiers();
    if (identifiers.empty())
        return std::nullopt;
    auto calendars = allCalendars(identifiers);
    if (calendars.empty())
        return std::nullopt;
    Events result;
    for (auto& event : eventsOfToday(calendars)) {
        if (profile->isAllDay()) {
            if (event->status() == EKEventStatusCanceled) {
                HLLogInfo("**** 1. Event '%s' is cancelled, hence ignoring it.", event->title().c_str());
                HL_TRACE(eventPassedOver(*profile, *event, HLTraceVerdict::Cancelled));
                continue;
            }
            hl_setProfile(event, profile);
            result.push_back(event);
            continue;
        }
        if (event->status() == EKEventStatusCanceled) {
            HLLogInfo("**** 2. Event '%s' is cancelled, hence ignoring it.", event->title().c_str());
            HL_TRACE(eventPassedOver(*profile, *event, HLTraceVerdict::Cancelled));
            continue;
        }
        // The profile is attached also to an event that is then dropped.
        hl_setProfile(event, profile);
        if (hl_eventConcernsWindow(event->startDate(), event->endDate(), profile->startDate(), profile->endDate(), NSDate::date()))
            result.push_back(event);
        else
            HL_TRACE(eventPassedOver(*profile, *event, HLTraceVerdict::OutsideActiveHours));
    }
    return result;
}

std::shared_ptr<EKEvent> HLEventManager::eventWithUUID(const std::string& uuid)
{
    return m_eventStore->eventWithUUID(uuid);
}

std::shared_ptr<EKEvent> HLEventManager::eventByIdentifier(const std::string& identifier)
{
    return m_eventStore->eventWithIdentifier(identifier);
}

std::shared_ptr<EKEvent> HLEventManager::eventWithUniqueId(const std::string& uniqueId)
{
    return m_eventStore->eventWithUniqueId(uniqueId);
}

std::shared_ptr<EKEvent> HLEventManager::eventWithUniqueId(const std::string& uniqueId, const NSDate& occurrenceDate)
{
    return m_eventStore->eventWithUniqueId(uniqueId, occurrenceDate);
}
