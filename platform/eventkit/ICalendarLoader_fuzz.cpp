// libFuzzer target: the calendar file loader, and the expansion of every recurring event it
// reads (near its start, on a day years later, and its first occurrence). Built and run by
// scripts/fuzz-calendar.sh.
#include "platform/eventkit/ICalendarLoader.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool zoneSet = [] {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        return true;
    }();
    (void)zoneSet;
    auto file = loadICalendar(std::string_view(reinterpret_cast<const char*>(data), size));
    constexpr int64_t aDayIn2026 = 1796684400;
    for (auto& event : file->events) {
        event.endFor(event.start);
        if (!event.recurrence)
            continue;
        event.recurrence->startsBetween(event.start, event.start + 40 * 86400);
        for (int64_t start : event.recurrence->startsBetween(aDayIn2026 - event.longestDuration(), aDayIn2026 + 86399))
            event.endFor(start);
        event.recurrence->firstStart();
    }
    return 0;
}
