#pragma once

#include "platform/eventkit/CalendarCache.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The stamp of a regular file in an open folder (folderFd, or -1 to use the path); nullopt when
// it is missing or not a regular file.
std::optional<CalendarFileStamp> calendarFileStamp(int folderFd, const std::filesystem::path& folder, const std::string& name);

// The stamps of many files of one folder. A calendar of thousands of files costs a look at each
// whenever the calendars are read afresh (every `phonectl today`), and on this kind of machine a
// look is mostly the system call's own cost: with more than one core, two threads share them.
std::vector<std::optional<CalendarFileStamp>> calendarFileStamps(int folderFd, const std::filesystem::path& folder,
    const std::vector<std::string>& names);
