#pragma once

#include "platform/eventkit/EKCalendar.h"
#include "platform/eventkit/EKEvent.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class HLProfile;

// The one place where the system talks to the calendar database: one event store per process,
// its calendars, and today's events that concern a profile (what the scheduler works from).
// Creating it also subscribes the profile store to calendar changes.
class HLEventManager : public NSObject {
public:
    using Calendars = std::vector<std::shared_ptr<EKCalendar>>;
    using Events = std::vector<std::shared_ptr<EKEvent>>;

    // Created once per process (safely from any thread), then initialize() runs.
    static HLEventManager& sharedManager();

    // Creates the event store and registers HLProfilesManager's eventStoreChanged() for its
    // changes. The registration stays for the life of the process.
    void initialize();

    const std::shared_ptr<EKEventStore>& eventStore() const { return m_eventStore; }

    // The event calendars, in the store's order.
    Calendars calendars();
    // The writable calendars by account title, each list in the store's order.
    std::map<std::string, Calendars> groupedCalendars();
    // The calendars whose identifier is in the list, in the store's order, each once;
    // identifiers of calendars that no longer exist are skipped.
    Calendars allCalendars(const std::vector<std::string>& calendarIdentifiers);

    // Today's events (00:00:00 to 23:59:59) of the calendars of the profiles whose window is
    // open now; not filtered.
    Events eventsForToday();
    // Today's events that concern the profile, each carrying the profile (hl_profile); nullopt
    // when the profile names no existing calendar. Canceled events are left out.
    std::optional<Events> eventsForProfile(const std::shared_ptr<HLProfile>& profile);

    std::shared_ptr<EKEvent> eventWithUUID(const std::string& uuid);
    std::shared_ptr<EKEvent> eventByIdentifier(const std::string& identifier);
    std::shared_ptr<EKEvent> eventWithUniqueId(const std::string& uniqueId);
    std::shared_ptr<EKEvent> eventWithUniqueId(const std::string& uniqueId, const NSDate& occurrenceDate);

private:
    Events eventsOfToday(const Calendars&);

    std::shared_ptr<EKEventStore> m_eventStore;
};
