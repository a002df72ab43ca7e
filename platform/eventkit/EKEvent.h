#pragma once

#include "platform/eventkit/EKCalendar.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

enum EKEventStatus {
    EKEventStatusNone = 0,
    EKEventStatusConfirmed = 1,
    EKEventStatusTentative = 2,
    EKEventStatusCanceled = 3,
};

// One occurrence of a calendar event. The store builds a new object for every occurrence it
// returns, so values attached to one object (associated objects) never show on another.
class EKEvent : public NSObject {
public:
    struct Fields {
        std::string title;
        NSDate startDate;
        NSDate endDate;
        bool allDay { false };
        EKEventStatus status { EKEventStatusNone };
        std::string UUID;
        std::string eventIdentifier;
        NSDate occurrenceDate;
        bool detached { false };
        std::shared_ptr<EKCalendar> calendar;
    };

    explicit EKEvent(Fields fields) : m_fields(std::move(fields)) { }

    // SUMMARY; empty when the event has none.
    const std::string& title() const { return m_fields.title; }
    const NSDate& startDate() const { return m_fields.startDate; }
    // For an event lasting whole days, the last second of its last day.
    const NSDate& endDate() const { return m_fields.endDate; }
    bool isAllDay() const { return m_fields.allDay; }
    EKEventStatus status() const { return m_fields.status; }
    // The event's UID, shared by every occurrence of a recurring event.
    const std::string& UUID() const { return m_fields.UUID; }
    // "<calendar identifier>/<UID>": names the event (every occurrence of it) in the store. It
    // also serves as the event's unique id.
    const std::string& eventIdentifier() const { return m_fields.eventIdentifier; }
    const std::string& uniqueId() const { return m_fields.eventIdentifier; }
    // The start the occurrence has by its recurrence rule, also when it was moved.
    const NSDate& occurrenceDate() const { return m_fields.occurrenceDate; }
    // Whether this occurrence was changed apart from its series.
    bool isDetached() const { return m_fields.detached; }
    const std::shared_ptr<EKCalendar>& calendar() const { return m_fields.calendar; }

    std::string description() const override;

private:
    Fields m_fields;
};
