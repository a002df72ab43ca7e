#include "apps/settings/TodayWording.h"

#include "apps/common/LocalTime.h"
#include "core/HLUtils.h"
#include "platform/foundation/NSDateFormatter.h"

#include <chrono>
#include <cstdio>
#include <regex>

namespace {

constexpr const char* kNoBreakSpace = "\u00a0";
// No line break on either side.
constexpr const char* kWordJoiner = "\u2060";

std::string unbreakable(std::string text)
{
    std::string out;
    for (char c : text)
        out += c == ' ' ? std::string(kNoBreakSpace) : std::string(1, c);
    return out;
}

}

std::string TodayWording::clockTime(const std::string& localTime)
{
    auto date = parseLocalTime(localTime);
    if (!date)
        return localTime;
    auto formatter = HLUtils::dateFormatter();
    formatter->setDateFormat("h:mm a");
    return unbreakable(formatter->stringFromDate(*date));
}

std::string TodayWording::range(const std::string& from, const std::string& to)
{
    return from + kNoBreakSpace + "–" + kWordJoiner + kNoBreakSpace + to;
}

std::string TodayWording::withClockTimes(const std::string& sentence)
{
    static const std::regex time(R"((\d{2}:\d{2})(?:-(\d{2}:\d{2}))?)");
    auto asTime = [](const std::string& clock) { return clockTime("2000-01-01T" + clock + ":00"); };
    std::string out;
    auto rest = sentence.cbegin();
    for (std::sregex_iterator it(sentence.begin(), sentence.end(), time), end; it != end; ++it) {
        const auto& match = *it;
        out.append(rest, match[0].first);
        out += match[2].matched ? range(asTime(match[1]), asTime(match[2])) : asTime(match[1]);
        rest = match[0].second;
    }
    out.append(rest, sentence.cend());
    return out;
}

std::string TodayWording::day(const std::string& isoDay)
{
    static const char* const kWeekdays[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* const kMonths[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    int year = 0;
    unsigned month = 0, dayOfMonth = 0;
    int used = 0;
    if (std::sscanf(isoDay.c_str(), "%4d-%2u-%2u%n", &year, &month, &dayOfMonth, &used) != 3 || used != static_cast<int>(isoDay.size()))
        return isoDay;
    std::chrono::year_month_day date { std::chrono::year { year }, std::chrono::month { month }, std::chrono::day { dayOfMonth } };
    if (!date.ok())
        return isoDay;
    std::chrono::weekday weekday { std::chrono::sys_days { date } };
    return std::string(kWeekdays[weekday.c_encoding()]) + "," + kNoBreakSpace + kMonths[month - 1] + kNoBreakSpace + std::to_string(dayOfMonth);
}
