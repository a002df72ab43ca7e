// The calendar database the benchmarks query: 10,000 events in 3 calendars, a tenth of them
// recurring weekly over three years, laid out as vdirsyncer writes them (one file per event,
// each with its VTIMEZONE), in a device root of its own that lives as long as the process.
#pragma once

#include "core/NSDate+HLAdditions.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/foundation/Clock.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace bench {

inline constexpr int kEvents = 10000;
inline constexpr int kRecurring = kEvents / 10;
const char* const kCalendars[] = { "nextcloud/work", "nextcloud/personal", "google/family" };

const char* const kBerlin = "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
                            "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\n"
                            "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
                            "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\n"
                            "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
                            "END:VTIMEZONE\r\n";

inline std::string localStamp(time_t t, bool dateOnly = false)
{
    struct tm local { };
    localtime_r(&t, &local);
    char text[32];
    strftime(text, sizeof text, dateOnly ? "%Y%m%d" : "%Y%m%dT%H%M%S", &local);
    return text;
}

inline std::string utcStamp(time_t t)
{
    struct tm utc { };
    gmtime_r(&t, &utc);
    char text[32];
    strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

struct Database {
    Database()
    {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        char pattern[] = "/tmp/hushline-calendar-bench-XXXXXX";
        root = mkdtemp(pattern);
        setenv("HUSHLINE_DEVICE_ROOT", root.c_str(), 1);
        Clock::installSystem();
        write();
    }
    ~Database() { std::filesystem::remove_all(root); }

    void write()
    {
        std::mt19937 random(42);
        time_t today = static_cast<time_t>(hl_beginningOfDay(NSDate::date()).timeIntervalSince1970());
        const time_t span = 548 * 86400;
        for (const char* calendar : kCalendars)
            std::filesystem::create_directories(EKEventStore::calendarsFolder() / calendar);
        for (int i = 0; i < kEvents; ++i) {
            std::ostringstream event;
            event << "BEGIN:VEVENT\r\nUID:bench-" << i << "@hushline\r\nDTSTAMP:20250101T000000Z\r\nSUMMARY:Event " << i << "\r\n";
            int hour = 7 + static_cast<int>(random() % 12);
            int minutes = 30 * (1 + static_cast<int>(random() % 4));
            if (i < kRecurring) {
                time_t start = today - span + static_cast<time_t>(random() % 7) * 86400 + hour * 3600;
                event << "DTSTART;TZID=Europe/Berlin:" << localStamp(start) << "\r\nDTEND;TZID=Europe/Berlin:"
                      << localStamp(start + minutes * 60) << "\r\n";
                if (i % 2)
                    event << "RRULE:FREQ=WEEKLY;COUNT=157\r\n";
                else
                    event << "RRULE:FREQ=WEEKLY;UNTIL=" << utcStamp(today + span) << "\r\n";
                if (i % 5 == 0)
                    event << "EXDATE;TZID=Europe/Berlin:" << localStamp(start + 7 * 86400 * 10) << "\r\n";
            } else {
                time_t day = today - span + static_cast<time_t>(random() % (2 * span / 86400)) * 86400;
                if (i % 20 == 0) {
                    event << "DTSTART;VALUE=DATE:" << localStamp(day + 43200, true) << "\r\n";
                } else {
                    time_t start = day + hour * 3600;
                    event << "DTSTART;TZID=Europe/Berlin:" << localStamp(start) << "\r\nDTEND;TZID=Europe/Berlin:"
                          << localStamp(start + minutes * 60) << "\r\n";
                }
                if (i % 33 == 0)
                    event << "STATUS:CANCELLED\r\n";
            }
            event << "END:VEVENT\r\n";
            auto path = EKEventStore::calendarsFolder() / kCalendars[i % 3] / ("bench-" + std::to_string(i) + ".ics");
            std::ofstream(path, std::ios::binary) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n"
                                                  << kBerlin << event.str() << "END:VCALENDAR\r\n";
        }
    }

    std::filesystem::path root;
};

inline Database& database()
{
    static Database instance;
    return instance;
}

} // namespace bench
