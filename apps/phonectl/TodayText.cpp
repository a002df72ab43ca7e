#include "apps/phonectl/TodayText.h"

#include "apps/common/LocalTime.h"

#include <algorithm>
#include <sstream>

namespace {

std::string string(const PlistValue& value)
{
    return value.asString() ? *value.asString() : std::string();
}

// A date, or its local time "2026-12-08T09:00:00", as "09:00".
std::string clockTime(const PlistValue& value)
{
    std::string text = value.asDate() ? formatLocalTime(*value.asDate()) : string(value);
    return text.size() >= 16 ? text.substr(11, 5) : text;
}

std::string padded(std::string text, size_t width)
{
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

const PlistArray& array(const PlistValue& value)
{
    static const PlistArray none;
    return value.asArray() ? *value.asArray() : none;
}

std::string eventLine(const PlistValue& event)
{
    std::string when = event["allDay"].boolValue() ? "all day    " : clockTime(event["start"]) + "-" + clockTime(event["end"]);
    return when + " \"" + string(event["title"]) + "\" (" + string(event["calendarTitle"]) + ")";
}

}

std::string todayText(const PlistValue& report)
{
    std::ostringstream out;
    bool wholeDay = clockTime(report["from"]) == "00:00";
    out << string(report["day"]) << (wholeDay ? ", the whole day" : ", from " + clockTime(report["from"]) + " to midnight") << "\n";
    out << string(report["assumption"]) << "\n";
    if (!report["hushlineEnabled"].boolValue())
        out << "Hushline is switched off.\n";

    size_t width = 8;
    for (const auto& moment : array(report["moments"]))
        width = std::max(width, string(moment["profileTitle"]).size() + 2);
    for (const auto& on : array(report["appliedAtStart"]))
        out << "On at the start: " << string(on["profileTitle"]) << ", " << string(on["text"]) << "\n";
    out << "\n";
    if (array(report["moments"]).empty())
        out << "No profile is applied or reverted.\n";
    for (const auto& moment : array(report["moments"]))
        out << clockTime(moment["time"]) << "  " << padded(string(moment["profileTitle"]), width) << string(moment["text"]) << "\n";

    bool heading = false;
    for (const auto& profile : array(report["profiles"])) {
        const auto& passed = array(profile["notActedUpon"]);
        if (passed.empty())
            continue;
        if (!heading)
            out << "\nEvents that do not silence the phone:\n";
        heading = true;
        out << "  " << string(profile["title"]) << " (" << string(profile["hours"]) << ")\n";
        for (const auto& entry : passed)
            out << "    " << eventLine(entry["event"]) << ": " << string(entry["text"]) << "\n";
    }
    return out.str();
}
