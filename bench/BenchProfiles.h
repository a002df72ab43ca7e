// The five profiles the benchmarks run over the calendar database: an all-day profile, two with
// office hours, one for the evening and one at the Wi-Fi network Home, each following two of the
// three calendars; Hushline switched on.
#pragma once

#include "bench/CalendarDatabase.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/PropertyList.h"

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

inline void writeProfiles(const std::filesystem::path& root)
{
    const char* hours[][2] = { { "", "" }, { "9:00 AM", "5:00 PM" }, { "8:00 AM", "12:00 PM" }, { "6:00 PM", "10:00 PM" }, { "7:00 AM", "11:00 PM" } };
    PlistArray entries;
    for (int i = 0; i < 5; ++i) {
        bool allDay = i == 0;
        PlistDictionary entry { { "identifier", 1765180800 + i }, { "title", "Profile " + std::to_string(i) }, { "enabled", true },
            { "allDay", allDay }, { "startTime", allDay ? "8:00 AM" : hours[i][0] }, { "endTime", allDay ? "5:00 PM" : hours[i][1] },
            { "ringerVolume", 0.0625 }, { "playAlert", i % 2 == 0 }, { "applyProfileEventStatus", i == 2 ? 1 : 0 },
            { "calendarIdentifiers", PlistValue(std::vector<std::string> { kCalendars[i % 3], kCalendars[(i + 1) % 3] }) } };
        if (i == 4)
            entry["wifiNetworks"] = PlistArray { "Home" };
        entries.emplace_back(std::move(entry));
    }
    auto preferences = root / "var/mobile/Library/Preferences";
    PropertyList::write(preferences / "com.velloq.hushline.profiles.plist", PlistValue(std::move(entries)));
    PropertyList::write(preferences / "com.velloq.hushline.plist", PlistValue(PlistDictionary { { kHLEnabledKey, true } }));
}

}
