// Today's events for one profile over a calendar database of 10,000 events in 3 calendars, a
// tenth of them recurring weekly over three years, laid out as vdirsyncer writes them (one file
// per event, each with its VTIMEZONE): the index built from cold (a new store reading every
// file; the files themselves are in the page cache), a warm query through HLEventManager, and,
// as the peer, khal's `khal list today today` on the same folders (bench/khal_peer.sh).
#include "bench/CalendarDatabase.h"
#include "bench/KhalPeer.h"
#include "core/profile/HLProfile.h"
#include "core/schedule/HLEventManager.h"
#include "core/NSDate+HLAdditions.h"
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

using bench::database;
using bench::kCalendars;

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
    if (!std::getenv("HUSHLINE_BENCH_NO_KHAL"))
        printKhalComparison("warm query", reporter.milliseconds["BM_WarmEventsForProfile"]);
    benchmark::Shutdown();
    return 0;
}
