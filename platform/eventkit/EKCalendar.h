#pragma once

#include "platform/eventkit/EKSource.h"
#include "platform/foundation/NSObject.h"

#include <memory>
#include <optional>
#include <string>

enum EKEntityType {
    EKEntityTypeEvent = 0,
    EKEntityTypeReminder = 1,
};

// One calendar: a folder "<account>/<calendar>" of the calendar database.
class EKCalendar : public NSObject {
public:
    struct Fields {
        std::string calendarIdentifier;
        std::string title;
        std::optional<std::string> color;
        bool allowsContentModifications { false };
        std::shared_ptr<EKSource> source;
    };

    explicit EKCalendar(Fields fields) : m_fields(std::move(fields)) { }

    // "<account folder>/<calendar folder>": stable across restarts.
    const std::string& calendarIdentifier() const { return m_fields.calendarIdentifier; }
    // The folder's "displayname" file, else the folder name.
    const std::string& title() const { return m_fields.title; }
    // "#RRGGBB" from the folder's "color" file, when it holds one.
    const std::optional<std::string>& color() const { return m_fields.color; }
    // Whether the process may write to the folder. A folder without any write permission (a
    // subscribed calendar) is read-only, also for the superuser.
    bool allowsContentModifications() const { return m_fields.allowsContentModifications; }
    const std::shared_ptr<EKSource>& source() const { return m_fields.source; }

    // Two objects of the same calendar are equal.
    bool isEqual(const std::shared_ptr<const NSObject>& other) const override;
    std::string description() const override;

private:
    Fields m_fields;
};
