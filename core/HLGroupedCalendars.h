#pragma once

#include <functional>
#include <string>
#include <vector>

// The identifiers of every writable calendar as the calendar source groups them (account by
// account, each in its own order): what a profile follows when it names no calendars.
std::vector<std::string> hl_groupedWritableCalendarIdentifiers();

// The calendar layer, above the profiles, answers that question: it names its answer when the
// library is loaded. Until then (or without it) a profile that names no calendars follows none.
void hl_setGroupedWritableCalendarsSource(std::function<std::vector<std::string>()> source);
