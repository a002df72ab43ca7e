#include "apps/phonectl/TodayEvent.h"

#include "platform/eventkit/EKCalendar.h"

#include <cstdio>

std::string TodayEvent::keyOf(const EKEvent& event)
{
    char start[32];
    std::snprintf(start, sizeof start, "@%.0f", event.startDate().timeIntervalSince1970());
    return event.eventIdentifier() + start;
}

TodayEvent TodayEvent::of(const EKEvent& event)
{
    TodayEvent result;
    result.key = keyOf(event);
    result.title = event.title();
    if (const auto& calendar = event.calendar()) {
        result.calendarIdentifier = calendar->calendarIdentifier();
        result.calendarTitle = calendar->title();
    }
    result.start = event.startDate();
    result.end = event.endDate();
    result.allDay = event.isAllDay();
    result.status = event.status();
    return result;
}

PlistDictionary TodayEvent::dictionary() const
{
    return { { "title", title }, { "calendar", calendarIdentifier }, { "calendarTitle", calendarTitle }, { "start", start },
        { "end", end }, { "allDay", allDay }, { "status", todayStatusName(status) } };
}

std::string todayStatusName(EKEventStatus status)
{
    switch (status) {
    case EKEventStatusConfirmed:
        return "confirmed";
    case EKEventStatusTentative:
        return "tentative";
    case EKEventStatusCanceled:
        return "cancelled";
    default:
        return "none";
    }
}
