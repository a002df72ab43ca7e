#include "platform/mobiletimer/Alarm.h"

#include "platform/device/Device.h"
#include "platform/device/MethodVersions.h"
#include "platform/foundation/ObjCRuntime.h"

#include <cstdio>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<Alarm>("Alarm");

std::optional<int> fieldInRange(const PlistValue& value, int last)
{
    const int64_t* number = value.asInteger();
    if (!number || *number < 0 || *number > last)
        return std::nullopt;
    return static_cast<int>(*number);
}

}

Alarm::Alarm(std::string alarmId, int hour, int minute, std::string title)
    : m_alarmId(std::move(alarmId))
    , m_hour(hour)
    , m_minute(minute)
    , m_title(std::move(title))
{
}

std::shared_ptr<Alarm> Alarm::fromDictionary(const PlistDictionary& dictionary)
{
    const PlistValue entry(dictionary);
    const std::string* alarmId = entry["alarmId"].asString();
    auto hour = fieldInRange(entry["hour"], 23);
    auto minute = fieldInRange(entry["minute"], 59);
    if (!alarmId || alarmId->empty() || !hour || !minute)
        return nullptr;
    const std::string* title = entry["title"].asString();
    auto alarm = std::make_shared<Alarm>(*alarmId, *hour, *minute, title ? *title : "");
    alarm->m_active = entry["active"].boolValue();
    return alarm;
}

PlistDictionary Alarm::dictionaryRepresentation() const
{
    return { { "alarmId", m_alarmId }, { "hour", m_hour }, { "minute", m_minute }, { "title", m_title }, { "active", m_active } };
}

bool Alarm::respondsToSelector(const std::string& selector) const
{
    static const MethodVersions titleMethods {
        { "uiTitle", { 7, 11 } },
        { "rawTitle", { 10, 11 } },
        { "title", { 12, 13 } },
    };
    return titleMethods.has(selector);
}

void Alarm::require(const char* selector) const
{
    if (!respondsToSelector(selector))
        ObjCRuntime::doesNotRecognizeSelector("Alarm", selector);
}

std::string Alarm::title() const
{
    require("title");
    return m_title;
}

std::string Alarm::rawTitle() const
{
    require("rawTitle");
    return m_title;
}

std::string Alarm::uiTitle() const
{
    require("uiTitle");
    return m_title;
}

std::string Alarm::description() const
{
    char time[8];
    std::snprintf(time, sizeof time, "%02d:%02d", m_hour, m_minute);
    return "<Alarm " + m_alarmId + " \"" + m_title + "\" " + time + (m_active ? " on" : " off") + ">";
}
