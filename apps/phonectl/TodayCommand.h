#pragma once

#include "platform/foundation/PlistValue.h"

#include <filesystem>
#include <optional>

// phonectl today [--date YYYY-MM-DD] [--json]: what each profile will do for the rest of today
// (from the phone's present moment, on its own clock) or for the whole given day, and why.
//
// The real phone is only read: its day is run by the system's own code in a shadow phone, a
// child process with a device root of its own (ShadowRoot) that plays the home screen on a
// virtual clock (ShadowDay) and hands its report back through a pipe. Works for a booted phone
// and for a stopped one alike; nothing is sent on the phone's bus.
struct TodayRequest {
    std::filesystem::path root;
    // Midnight of the day to look at as a whole; the present moment when not given.
    std::optional<NSDate> day;
    // Where the shadow phone keeps what it read of the phone's calendars for the next look
    // (outside the phone's root, which is only read); none: every file is parsed each time.
    std::optional<std::filesystem::path> calendarCache;
    // The report as JSON (toJson) rather than as text (todayText).
    bool json { false };
};

// The calendar cache of a phone (CalendarCache::userCacheFile of its calendars folder), which its
// home screen keeps too.
std::optional<std::filesystem::path> todayCalendarCache(const std::filesystem::path& root);

// The report (TodayReport.h), printed as the request asks. Throws PhonectlError when
// the shadow phone fails.
std::string lookAtToday(const TodayRequest&);
