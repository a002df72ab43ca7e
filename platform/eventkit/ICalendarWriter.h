#pragma once

#include "platform/eventkit/EKEvent.h"
#include "platform/foundation/NSDate.h"

#include <filesystem>
#include <optional>
#include <string>

// An event to be written into a calendar folder.
struct ICalendarEventDescription {
    std::string uid;   // a new one when empty
    std::string title;
    NSDate startDate;
    NSDate endDate;    // for whole days: any moment of the last day
    bool allDay { false };
    EKEventStatus status { EKEventStatusNone };
    // RRULE text, e.g. "FREQ=WEEKLY;COUNT=10".
    std::optional<std::string> recurrenceRule;
    // The zone the times are written in ("Europe/Berlin"); UTC when unset. Whole days are
    // written as dates of the device's time zone.
    std::optional<std::string> timeZone;
};

// Writes the event as one iCalendar file "<name>.ics" into the calendar folder (created when
// missing), named after the UID when that is a plain name, replacing an earlier version of the
// file atomically. Returns the file's path, or nullopt with the reason in *error.
std::optional<std::filesystem::path> writeICalendarEvent(const std::filesystem::path& calendarFolder,
    const ICalendarEventDescription&, std::string* error = nullptr);

// The folder of the calendar "<account>/<calendar>" in the device's calendar database; nullopt
// when the identifier is not two plain folder names.
std::optional<std::filesystem::path> calendarFolderForIdentifier(const std::string& calendarIdentifier);
