// Today's events for one profile over a calendar database of 10,000 events in 3 calendars, a
// tenth of them recurring weekly over three years, laid out as vdirsyncer writes them (one file
// per event, each with its VTIMEZONE): the index built from cold (a new store reading every
// file; the files themselves are in the page cache), a warm query through HLEventManager, and,
// as the peer, khal's `khal list today today` on the same folders (bench/khal_peer.sh).
#include "core/profile/HLProfile.h"
#include "core/schedule/HLEventManager.h"
#include "core/schedule/NSDate+HLAdditions.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/foundation/Clock.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>

namespace {

constexpr int kEvents = 10000;
constexpr int kRecurring = kEvents / 10;
const char* const kCalendars[] = { "nextcloud/work", "nextcloud/personal", "google/family" };

const char* const kBerlin = "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
                            "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\n"
                            "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
                            "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\n"
                            "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
                            "END:VTIMEZONE\r\n";

std::string localStamp(time_t t, bool dateOnly = false)
{
    struct tm local { };
    localtime_r(&t, &local);
    char text[32];
    strftime(text, sizeof text, dateOnly ? "%Y%m%d" : "%Y%m%dT%H%M%S", &local);
    return text;
}

std::string utcStamp(time_t t)
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

Database& database()
{
    static Database instance;
    return instance;
}

std::shared_ptr<HLProfile> allDayProfile()
{
    auto profile = HLProfile::init();
    profile->setEnabled(true);
    profile->setAllDay(true);
    profile->setCalendarIdentifiers(std::vector<std::string>(std::begin(kCalendars), std::end(kCalendars)));
    return profile;
}

void BM_ColdIndex(benchmark::State& state)
{
    database();
    size_t count = 0;
    for (auto _ : state) {
        auto store = EKEventStore::init();
        NSDate now = NSDate::date();
        auto events = store->eventsMatchingPredicate(
            store->predicateForEventsWithStartDate(hl_beginningOfDay(now), hl_endOfDay(now), std::nullopt));
        count = events.size();
    }
    state.counters["events"] = static_cast<double>(count);
}
BENCHMARK(BM_ColdIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WarmEventsForProfile(benchmark::State& state)
{
    database();
    auto profile = allDayProfile();
    auto& manager = HLEventManager::sharedManager();
    size_t count = manager.eventsForProfile(profile).value_or(HLEventManager::Events {}).size();
    for (auto _ : state) {
        auto events = manager.eventsForProfile(profile);
        benchmark::DoNotOptimize(events);
    }
    state.counters["events"] = static_cast<double>(count);
}
BENCHMARK(BM_WarmEventsForProfile)->Unit(benchmark::kMicrosecond);

// Keeps the figures of the runs to set them against khal's.
class Reporter : public benchmark::ConsoleReporter {
public:
    Reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) { }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration)
                milliseconds[run.run_name.function_name] = run.GetAdjustedRealTime()
                    / (run.time_unit == benchmark::kMillisecond ? 1.0 : run.time_unit == benchmark::kMicrosecond ? 1e3 : 1e6);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> milliseconds;
};

std::map<std::string, std::string> runKhal()
{
    std::string script = std::filesystem::path(__FILE__).parent_path() / "khal_peer.sh";
    std::string command = "bash '" + script + "' '" + EKEventStore::calendarsFolder().string() + "'";
    std::map<std::string, std::string> figures;
    FILE* output = popen(command.c_str(), "r");
    if (!output)
        return figures;
    char line[256];
    while (fgets(line, sizeof line, output)) {
        std::istringstream fields(line);
        std::string key, value;
        if (fields >> key >> value)
            figures[key] = value;
    }
    pclose(output);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    database();
    // Every query logs the day's canceled event; the figures are about the query, not the
    // terminal.
    FILE* quiet = freopen("/dev/null", "w", stderr);
    (void)quiet;
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!std::getenv("HUSHLINE_BENCH_NO_KHAL")) {
        auto khal = runKhal();
        if (khal.count("khal_warm_ms")) {
            double warm = reporter.milliseconds["BM_WarmEventsForProfile"];
            double peer = std::stod(khal["khal_warm_ms"]);
            printf("khal list today today: warm %s ms, cold %s ms, %s events\n", khal["khal_warm_ms"].c_str(),
                khal["khal_cold_ms"].c_str(), khal["khal_events"].c_str());
            printf("warm query %.3f ms; khal warm / warm query = %.0f\n", warm, warm > 0 ? peer / warm : 0.0);
        } else {
            printf("khal peer not measured (bench/khal_peer.sh failed)\n");
        }
    }
    benchmark::Shutdown();
    return 0;
}
