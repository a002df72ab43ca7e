#pragma once

#include "platform/foundation/PlistValue.h"

#include <filesystem>
#include <optional>

// The day of a shadow phone, run in the calling process, which becomes that phone's home screen
// for good: the process's device root, clock, notification centres and main run loop are taken
// over, so call it only in a process of its own (phonectl today forks one). The plug-in starts
// as it does in SpringBoard, on a virtual clock standing at `from`, with Darwin notifications
// inside the process (nothing reaches any bus), and the run loop then runs the virtual clock to
// `until`, firing every wake-up and delayed step at its own moment. The phone's property-list
// files are read once and its saves kept in memory (PropertyListMemory): the root is its alone
// and thrown away after. Returns the report (see TodayReport.h).
struct ShadowDay {
    std::filesystem::path root;
    NSDate from;
    NSDate until;
    std::optional<std::filesystem::path> calendarCache;
};

PlistDictionary runShadowDay(const ShadowDay&);
