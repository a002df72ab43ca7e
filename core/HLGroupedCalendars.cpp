#include "core/HLGroupedCalendars.h"

namespace {

std::function<std::vector<std::string>()>& groupedCalendarsSource()
{
    static std::function<std::vector<std::string>()> source;
    return source;
}

}

std::vector<std::string> hl_groupedWritableCalendarIdentifiers()
{
    const auto& source = groupedCalendarsSource();
    return source ? source() : std::vector<std::string>();
}

void hl_setGroupedWritableCalendarsSource(std::function<std::vector<std::string>()> source)
{
    groupedCalendarsSource() = std::move(source);
}
