#pragma once

#include "platform/eventkit/ICalendarRecurrence.h"
#include "platform/eventkit/ICalendarTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The property a VEVENT may carry with its calendar owner's participation (an ATTENDEE PARTSTAT
// value): a calendar file knows its attendees but not which of them is the owner, so whoever
// writes the file for a calendar that knows it (Evolution Data Server's) notes it here.
inline constexpr const char* kParticipationProperty = "X-HUSHLINE-PARTICIPATION";

// One VEVENT of a calendar file, read once into what the calendar database needs.
struct ICalendarEvent {
    std::string uid;     // UID; empty when the event has none
    std::string summary; // SUMMARY
    // STATUS: CONFIRMED 1, TENTATIVE 2, CANCELLED 3, none 0; an event not cancelled takes the
    // owner's participation when the file notes it: ACCEPTED 1, TENTATIVE 2, DECLINED 3, else 0.
    int status { 0 };
    bool allDay { false };
    int64_t start { 0 }; // the first (or only) occurrence, seconds since 1970
    int64_t end { 0 };   // for whole days, the last second of the last day
    int64_t duration { 0 }; // timed events: seconds from start to end
    int days { 1 };         // whole-day events: the number of days
    std::optional<int64_t> recurrenceId; // the original start of the occurrence this one replaces
    std::unique_ptr<ICalendarRecurrence> recurrence; // RRULE / RDATE, when present
    size_t position { 0 }; // the VEVENT's place in the file

    // The end of an occurrence that starts at the given second.
    int64_t endFor(int64_t occurrenceStart) const;
    // How long any occurrence may last, to find those that began before a range.
    int64_t longestDuration() const;
};

// Owns the time zones that only the file defines (a standard TZID uses libical's shared zone).
class ICalendarZones {
public:
    ICalendarZones() = default;
    ICalendarZones(const ICalendarZones&) = delete;
    ICalendarZones& operator=(const ICalendarZones&) = delete;
    ~ICalendarZones();

    icaltimezone* add(icalcomponent* vtimezone);
    const std::vector<icaltimezone*>& all() const { return m_zones; }

private:
    std::vector<icaltimezone*> m_zones;
};

// What one calendar file holds. The events refer to the file's own zones, so they live together.
struct ICalendarFile {
    ICalendarZones zones;
    std::vector<ICalendarEvent> events;
    // How many VEVENTs were left out.
    size_t skipped { 0 };
    // Why events were skipped or read only in part: unreadable properties, a VEVENT without
    // DTSTART, an unusable RRULE; and a TZID that names no known zone, read as local time.
    std::vector<std::string> problems;
};

// Reads the text of a calendar file. Never fails: what cannot be read is skipped and said in
// problems. Local times (floating times, dates, and times in a zone that is neither a standard
// zone nor defined by the file) are read in the device's time zone of the moment.
std::unique_ptr<ICalendarFile> loadICalendar(std::string_view text);
