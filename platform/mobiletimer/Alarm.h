#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <memory>
#include <optional>
#include <string>

class PCSimpleTimer;

// One of the clock's alarms: rings once at the next hour:minute (local time) while it is active.
//
// Its title is read through a different method per OS version, as the clock's alarm class
// changed over the years:
//   7-9     uiTitle
//   10-11   rawTitle, uiTitle
//   12-13   title (the clock's newer alarm class)
// All of them answer the one title the alarm was given. Sending a method that the version lacks
// throws, as the phone raises an exception; ask respondsToSelector first.
class Alarm : public NSObject {
public:
    Alarm(std::string alarmId, int hour, int minute, std::string title);

    // The dictionary form kept in the clock's preferences; nullptr when it lacks an identifier
    // or holds an hour or minute out of range.
    static std::shared_ptr<Alarm> fromDictionary(const PlistDictionary&);
    PlistDictionary dictionaryRepresentation() const;

    const std::string& alarmId() const { return m_alarmId; }
    int hour() const { return m_hour; }
    int minute() const { return m_minute; }
    bool isActive() const { return m_active; }

    bool respondsToSelector(const std::string& selector) const;
    std::string title() const;
    std::string rawTitle() const;
    std::string uiTitle() const;
    // The title as given, whatever the OS version (what phonectl shows).
    const std::string& storedTitle() const { return m_title; }

    std::string description() const override;

private:
    friend class AlarmManager;
    void require(const char* selector) const;

    std::string m_alarmId;
    int m_hour;
    int m_minute;
    std::string m_title;
    bool m_active { false };
    // The wake-up timer that rings the alarm, while it is armed.
    std::shared_ptr<PCSimpleTimer> m_timer;
};
