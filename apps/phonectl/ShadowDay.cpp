#include "apps/phonectl/ShadowDay.h"

#include "apps/phonectl/TodayRecorder.h"
#include "apps/phonectl/TodayReport.h"
#include "core/profile/HLProfilesManager.h"
#include "core/schedule/HLEventManager.h"
#include "core/NSDate+HLAdditions.h"
#include "core/schedule/HLWiFiManager.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListMemory.h"
#include "platform/springboard/SpringBoard.h"
#include "springboard/HLSpringBoardStartup.h"

#include <cstdlib>

namespace {

// The applied flags as the profiles file holds them before the home screen starts.
std::map<int64_t, bool> appliedInFile()
{
    std::map<int64_t, bool> applied;
    auto file = PropertyList::read(HLProfilesManager::profilesFilePath());
    if (file && file->isArray())
        for (const auto& entry : *file->asArray())
            applied[entry["identifier"].longLongValue()] = entry["applied"].boolValue();
    return applied;
}

std::map<int64_t, bool> appliedInStore()
{
    std::map<int64_t, bool> applied;
    for (const auto& profile : HLProfilesManager::sharedManager().profiles())
        applied[profile->identifier()] = profile->isApplied();
    return applied;
}

// Every occurrence of the day in every calendar, in the store's order; of the rest of a day,
// those that had not ended when the look began.
std::vector<TodayEvent> eventsOfTheDay(const ShadowDay& day)
{
    auto store = HLEventManager::sharedManager().eventStore();
    auto dayStart = hl_beginningOfDay(day.from);
    auto events = store->eventsMatchingPredicate(store->predicateForEventsWithStartDate(dayStart, hl_endOfDay(day.from), std::nullopt));
    std::vector<TodayEvent> result;
    for (const auto& event : events)
        if (event->isAllDay() || !(event->endDate() < day.from))
            result.push_back(TodayEvent::of(*event));
    return result;
}

}

PlistDictionary runShadowDay(const ShadowDay& day)
{
    setenv("HUSHLINE_DEVICE_ROOT", day.root.c_str(), 1);
    auto clock = Clock::installVirtual(day.from.timeIntervalSince1970());
    DarwinNotifyCenter::install(std::make_shared<InProcessDarwinNotifyCenter>());
    NSBundle::setMainBundleIdentifier("com.apple.springboard");
    EKEventStore::keepReadCalendarsIn(day.calendarCache);
    setAtomicWritesDurable(false);
    PropertyListMemory::setEnabled(true);
    UIApplication::setSharedApplication(std::make_shared<SpringBoard>());

    TodayRecorder recorder(day.until);
    HLTrace::setObserver(&recorder);
    auto before = appliedInFile();
    HLSpringBoardStartup::pluginLoaded();
    recorder.beginLaunch();
    SpringBoard::sharedApplication()->applicationDidFinishLaunching(nullptr);
    recorder.endLaunch(before, appliedInStore());
    NSRunLoop::main().runUntil(day.until);
    HLTrace::setObserver(nullptr);

    // The profiles' windows and the day's events are those of the day looked at, not of the next.
    clock->set(day.until.timeIntervalSince1970() - 1);
    TodayScope scope { day.from, day.until, HLProfilesManager::isHushlineEnabled(),
        HLWiFiManager::ssidOf(HLWiFiManager::sharedManager().currentNetWork()) };
    auto report = buildTodayReport(scope, recorder, HLProfilesManager::sharedManager().profiles(), eventsOfTheDay(day));
    HLEventManager::sharedManager().eventStore()->saveReadCalendars();
    return report;
}
