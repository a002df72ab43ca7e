#pragma once

#include <string>
#include <vector>

// The identifiers of every writable calendar as the calendar source groups them (account by
// account, each in its own order): what a profile follows when it names no calendars.
std::vector<std::string> hl_groupedWritableCalendarIdentifiers();
