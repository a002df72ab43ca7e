// One full scheduling pass (schedulePowerEventsForProfiles: YES, which reloads the profiles file)
// for 1, 10 and 50 active profiles over the 10,000-event calendar database, warm: the calendar
// index is built and every profile's wake-up is armed for the start of its hours.
#include "bench/CalendarDatabase.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

// Profiles with evening hours, scheduled in the afternoon: each pass reads today's events of
// their calendars, chooses one and arms the wake-up for the start of the hours.
void writeProfiles(int count)
{
    PlistArray entries;
    for (int i = 0; i < count; ++i) {
        PlistDictionary entry { { "identifier", 1765180800 + i }, { "title", "Profile " + std::to_string(i) }, { "enabled", true },
            { "allDay", false }, { "startTime", "10:00 PM" }, { "endTime", "11:30 PM" }, { "ringerVolume", 0.0625 },
            { "calendarIdentifiers", PlistValue(std::vector<std::string> { bench::kCalendars[i % 3], bench::kCalendars[(i + 1) % 3] }) } };
        entries.emplace_back(std::move(entry));
    }
    PropertyList::write(HLProfilesManager::profilesFilePath(), PlistValue(std::move(entries)));
}

void BM_FullPass(benchmark::State& state)
{
    bench::database();
    NSBundle::setMainBundleIdentifier("com.apple.springboard");
    PropertyList::write(HLProfilesManager::settingsFilePath(), PlistValue(PlistDictionary { { kHLEnabledKey, true } }));
    auto today = NSCalendar::currentCalendar().components(NSDate::date());
    today.hour = 15;
    today.minute = 0;
    today.second = 0;
    Clock::installVirtual(NSCalendar::currentCalendar().dateFromComponents(today)->timeIntervalSince1970());
    writeProfiles(static_cast<int>(state.range(0)));
    auto& store = HLProfilesManager::sharedManager();
    store.schedulePowerEventsForProfiles(true);
    for (auto _ : state) {
        store.schedulePowerEventsForProfiles(true);
        state.PauseTiming();
        // The wake-ups armed on the records of earlier loads stay queued, as on the phone; drop
        // them between passes so that the queue does not grow with the iterations.
        for (const auto& timer : WakeUpTimerQueue::shared().pendingTimers())
            timer->invalidate();
        NSRunLoop::main().reset();
        state.ResumeTiming();
    }
    state.counters["profiles"] = static_cast<double>(state.range(0));
}

}

BENCHMARK(BM_FullPass)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    bench::database();
    // A pass logs a few lines per profile; the figures are about the pass.
    FILE* quiet = freopen("/dev/null", "w", stderr);
    (void)quiet;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
