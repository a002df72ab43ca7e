#include "apps/springboard/PhoneStateReport.h"

#include "apps/springboard/SessionLink.h"
#include "platform/device/Device.h"
#include "platform/foundation/Clock.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/PropertyList.h"
#include "platform/mobiletimer/AlarmManager.h"
#include "platform/mobilewifi/WiFiState.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"

namespace {

constexpr const char* kProfilesPath = "/var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist";

PlistDictionary wifi()
{
    WiFiState state = WiFiState::load();
    PlistArray known;
    for (const auto& network : state.known)
        known.push_back(network.ssid);
    PlistDictionary report { { "known", known } };
    if (state.current)
        report["current"] = *state.current;
    return report;
}

PlistArray alarms()
{
    PlistArray list;
    for (const auto& alarm : AlarmManager::sharedManager()->alarms()) {
        PlistDictionary entry;
        entry["alarmId"] = alarm->alarmId();
        entry["title"] = alarm->storedTitle();
        entry["hour"] = alarm->hour();
        entry["minute"] = alarm->minute();
        entry["active"] = alarm->isActive();
        list.emplace_back(std::move(entry));
    }
    return list;
}

PlistArray wakeUpTimers()
{
    PlistArray list;
    for (const auto& timer : WakeUpTimerQueue::shared().pendingTimers()) {
        PlistDictionary entry;
        entry["service"] = timer->serviceIdentifierVariable();
        entry["fireDate"] = timer->fireDate();
        list.emplace_back(std::move(entry));
    }
    return list;
}

PlistArray profiles()
{
    PlistArray list;
    auto stored = PropertyList::read(DeviceRoot::resolve(kProfilesPath));
    const PlistArray* entries = stored ? stored->asArray() : nullptr;
    if (!entries)
        return list;
    for (const auto& entry : *entries) {
        if (!entry.isDictionary())
            continue;
        PlistDictionary profile;
        profile["identifier"] = entry["identifier"].longLongValue();
        profile["enabled"] = entry["enabled"].boolValue();
        profile["applied"] = entry["applied"].boolValue();
        if (const std::string* title = entry["title"].asString())
            profile["title"] = *title;
        list.emplace_back(std::move(profile));
    }
    return list;
}

}

PlistDictionary phoneStateReport()
{
    Device& phone = Device::current();
    PlistDictionary state = phone.state();
    state["clock"] = NSDate::date();
    state["virtualClock"] = Clock::process().isVirtual();
    state["osVersion"] = phone.systemVersion();
    state["wifi"] = wifi();
    state["alarms"] = alarms();
    state["wakeUpTimers"] = wakeUpTimers();
    state["profiles"] = profiles();
    // Booted with --session: which of the session's services the phone is linked to.
    if (SessionLink* link = SessionLink::current())
        state["session"] = link->linkedParts();
    return state;
}
