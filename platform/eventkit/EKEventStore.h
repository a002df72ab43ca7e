#pragma once

#include "platform/eventkit/CalendarIndex.h"
#include "platform/eventkit/CalendarWatcher.h"
#include "platform/eventkit/EKCalendar.h"
#include "platform/eventkit/EKEvent.h"
#include "platform/eventkit/EKEventPredicate.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* EKEventStoreChangedNotification = "EKEventStoreChangedNotification";

// The calendar database of the phone: the iCalendar files under "/var/mobile/Calendars", laid out
// "<account>/<calendar>/*.ics" with optional "displayname" and "color" files (the folders that
// vdirsyncer and khal use). While the store lives, a thread of its own watches the folders and
// posts EKEventStoreChangedNotification (object: the store) on the default notification centre,
// from that thread, whenever a calendar folder or file changes, whoever changed it.
//
// Order: calendars by account folder name, then calendar folder name. Events by start date,
// then by the order of their calendars, then by file name, then by their place in the file:
// "the store's order" that callers may rely on.
//
// Every call returns new event objects. Safe to use from any thread.
class EKEventStore : public NSObject {
    struct Private { };

public:
    // A store of the device's calendar folders (created when missing), watched.
    static std::shared_ptr<EKEventStore> init();
    EKEventStore(Private, std::filesystem::path folder);
    ~EKEventStore() override;

    // "<device root>/var/mobile/Calendars".
    static std::filesystem::path calendarsFolder();

    // When the cache takes the occurrences of recurring events that queries worked out: when
    // the process asks (saveReadCalendars), or also on its own after queries, on the main queue.
    enum class CacheUpdates { WhenAsked, AfterQueries };
    // Stores created from now on keep what they read of the calendar files in this file and
    // take unchanged files from it (CalendarCache); nullopt: they parse every file they read.
    static void keepReadCalendarsIn(std::optional<std::filesystem::path> cacheFile, CacheUpdates = CacheUpdates::WhenAsked);
    // Writes this store's cache now, with the occurrences of recurring events it has worked out
    // since (a process that ends without running its destructors calls it last).
    void saveReadCalendars();

    std::vector<std::shared_ptr<EKCalendar>> calendarsForEntityType(EKEntityType);
    std::shared_ptr<EKCalendar> calendarWithIdentifier(const std::string& identifier);

    EKEventPredicate predicateForEventsWithStartDate(const NSDate& startDate, const NSDate& endDate,
        std::optional<std::vector<std::shared_ptr<EKCalendar>>> calendars);
    // The occurrences that overlap the predicate's range: those that start before its end and
    // end after its start (an event without duration counts from its start on), in the
    // predicate's calendars. Recurring events are expanded (RRULE, RDATE, EXDATE, moved or
    // changed occurrences); times with a zone are converted, floating times and whole days are
    // read in the device's time zone.
    std::vector<std::shared_ptr<EKEvent>> eventsMatchingPredicate(const EKEventPredicate&);

    // Look-ups of single events; null when the store has none. An event's first occurrence is
    // returned unless a date picks one.
    std::shared_ptr<EKEvent> eventWithUUID(const std::string& uuid);
    std::shared_ptr<EKEvent> eventWithIdentifier(const std::string& identifier);
    std::shared_ptr<EKEvent> eventWithUniqueId(const std::string& uniqueId);
    std::shared_ptr<EKEvent> eventWithUniqueId(const std::string& uniqueId, const NSDate& occurrenceDate);

private:
    void startWatching();

    // After a query, the occurrences it expanded go to the cache once the main queue is free
    // (a long-lived process, such as the home screen, never gets to ask at its end).
    void keepExpansionsSoon();

    std::mutex m_mutex;
    CalendarIndex m_index;
    bool m_updatesAfterQueries { false };
    bool m_expansionsPending { false };
    std::unique_ptr<CalendarWatcher> m_watcher;
};
