#pragma once

#include "platform/eventkit/EKEvent.h"
#include "platform/foundation/PlistValue.h"

#include <string>

// One occurrence of a calendar event as "phonectl today" reports it, kept apart from the event
// object so that it outlives the pass that saw it.
struct TodayEvent {
    // Names the occurrence: the event's identifier and its start.
    std::string key;
    std::string title;
    std::string calendarIdentifier;
    std::string calendarTitle;
    NSDate start;
    NSDate end;
    bool allDay { false };
    EKEventStatus status { EKEventStatusNone };

    static TodayEvent of(const EKEvent&);
    static std::string keyOf(const EKEvent&);

    // { "title", "calendar", "calendarTitle", "start", "end", "allDay", "status" }, the status
    // as "none", "confirmed", "tentative" or "cancelled".
    PlistDictionary dictionary() const;
};

// The status of an event as the report names it.
std::string todayStatusName(EKEventStatus);
