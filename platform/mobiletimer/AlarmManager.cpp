#include "platform/mobiletimer/AlarmManager.h"

#include "platform/device/Device.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/PropertyList.h"
#include "platform/persistentconnection/PCSimpleTimer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<AlarmManager>("AlarmManager");

constexpr const char* kAlarmsKey = "Alarms";
constexpr const char* kAlarmIdKey = "alarmId";
constexpr double kSeconds1970To2001 = 978307200.0;

// The next moment the clock shows hour:minute, strictly after now.
NSDate nextRing(int hour, int minute)
{
    NSCalendar calendar = NSCalendar::currentCalendar();
    NSDate now = NSDate::date();
    NSDateComponents fields = calendar.components(now);
    fields.hour = hour;
    fields.minute = minute;
    fields.second = 0;
    NSDate ring = calendar.dateFromComponents(fields).value_or(now);
    if (ring.timeIntervalSince1970() <= now.timeIntervalSince1970())
        ring = calendar.dateByAddingDays(ring, 1).value_or(NSDate(ring.timeIntervalSince1970() + 86400));
    return ring;
}

}

std::shared_ptr<AlarmManager> AlarmManager::sharedManager()
{
    static const auto manager = [] {
        auto created = std::make_shared<AlarmManager>();
        created->loadAlarms();
        return created;
    }();
    return manager;
}

void AlarmManager::loadAlarms()
{
    std::string error;
    auto path = DeviceRoot::resolve(kPreferencesPath);
    auto stored = PropertyList::read(path, &error);
    std::vector<std::shared_ptr<Alarm>> loaded;
    if (stored) {
        if (const PlistArray* entries = (*stored)[kAlarmsKey].asArray()) {
            for (const auto& entry : *entries) {
                auto alarm = entry.asDictionary() ? Alarm::fromDictionary(*entry.asDictionary()) : nullptr;
                if (!alarm) {
                    NSLog("AlarmManager: an alarm of %s is malformed and skipped: %s", path.c_str(), entry.description().c_str());
                    continue;
                }
                if (auto kept = alarmWithId(alarm->alarmId())) {
                    kept->m_hour = alarm->m_hour;
                    kept->m_minute = alarm->m_minute;
                    kept->m_title = alarm->m_title;
                    kept->m_active = alarm->m_active;
                    alarm = kept;
                }
                loaded.push_back(alarm);
            }
        }
    }
    for (auto& old : m_alarms)
        if (std::find(loaded.begin(), loaded.end(), old) == loaded.end())
            disarm(*old);
    m_alarms = std::move(loaded);
}

std::shared_ptr<Alarm> AlarmManager::alarmWithId(const std::string& alarmId) const
{
    auto it = std::find_if(m_alarms.begin(), m_alarms.end(), [&](const auto& alarm) { return alarm->alarmId() == alarmId; });
    return it == m_alarms.end() ? nullptr : *it;
}

std::shared_ptr<Alarm> AlarmManager::alarmWithId(const PlistValue& alarmId) const
{
    const std::string* text = alarmId.asString();
    return text ? alarmWithId(*text) : nullptr;
}

void AlarmManager::addAlarm(const std::shared_ptr<Alarm>& alarm, bool active)
{
    if (!alarm)
        return;
    if (auto existing = alarmWithId(alarm->alarmId()); existing && existing != alarm) {
        disarm(*existing);
        std::erase(m_alarms, existing);
    }
    if (std::find(m_alarms.begin(), m_alarms.end(), alarm) == m_alarms.end())
        m_alarms.push_back(alarm);
    switchAlarm(*alarm, active);
}

void AlarmManager::removeAlarm(const std::shared_ptr<Alarm>& alarm)
{
    if (!alarm || std::find(m_alarms.begin(), m_alarms.end(), alarm) == m_alarms.end())
        return;
    disarm(*alarm);
    std::erase(m_alarms, alarm);
    save();
    tellAlarmState();
}

void AlarmManager::setAlarm(const std::shared_ptr<Alarm>& alarm, bool active)
{
    if (!alarm || std::find(m_alarms.begin(), m_alarms.end(), alarm) == m_alarms.end())
        return;
    switchAlarm(*alarm, active);
}

void AlarmManager::switchAlarm(Alarm& alarm, bool active)
{
    alarm.m_active = active;
    if (active)
        arm(alarm);
    else
        disarm(alarm);
    save();
    tellAlarmState();
}

void AlarmManager::loadScheduledNotifications()
{
    for (auto& alarm : m_alarms) {
        disarm(*alarm);
        if (alarm->isActive())
            arm(*alarm);
    }
    tellAlarmState();
}

void AlarmManager::arm(Alarm& alarm)
{
    disarm(alarm);
    NSDate ring = nextRing(alarm.hour(), alarm.minute());
    auto self = std::static_pointer_cast<AlarmManager>(shared_from_this());
    alarm.m_timer = PCSimpleTimer::initWithAbsoluteTime(ring.timeIntervalSince1970() - kSeconds1970To2001, kServiceIdentifier, self,
        "alarmTimerFired:", PCSimpleTimer::action(&AlarmManager::alarmTimerFired), { { kAlarmIdKey, alarm.alarmId() } }, true);
    if (alarm.m_timer)
        alarm.m_timer->scheduleInRunLoop(NSRunLoop::main());
}

void AlarmManager::disarm(Alarm& alarm)
{
    if (auto timer = std::move(alarm.m_timer))
        timer->invalidate();
}

namespace {

AlarmManager::AlarmStateWatcher& alarmStateWatcher()
{
    static AlarmManager::AlarmStateWatcher watcher;
    return watcher;
}

}

bool AlarmManager::watchAlarmState(AlarmStateWatcher watcher)
{
    alarmStateWatcher() = std::move(watcher);
    return true;
}

void AlarmManager::tellAlarmState() const
{
    bool anySet = std::any_of(m_alarms.begin(), m_alarms.end(), [](const auto& alarm) { return alarm->isActive(); });
    if (const auto& watcher = alarmStateWatcher())
        watcher(anySet);
}

void AlarmManager::alarmTimerFired(const std::shared_ptr<PCSimpleTimer>& timer)
{
    auto found = timer->userInfo().find(kAlarmIdKey);
    auto alarm = found == timer->userInfo().end() ? nullptr : alarmWithId(found->second);
    if (!alarm || alarm->m_timer != timer)
        return;
    NSLog("AlarmManager: the alarm %s rings", alarm->description().c_str());
    Device::Tone ring;
    ring.identifier = "alarm:" + alarm->alarmId();
    ring.via = "AlarmManager";
    Device::current().playTone(std::move(ring));
    // A one-time alarm switches itself off once it has rung.
    setAlarm(alarm, false);
}

void AlarmManager::save() const
{
    PlistArray entries;
    for (const auto& alarm : m_alarms)
        entries.push_back(alarm->dictionaryRepresentation());
    auto path = DeviceRoot::resolve(kPreferencesPath);
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::string error;
    if (!PropertyList::write(path, PlistValue(PlistDictionary { { kAlarmsKey, entries } }), PropertyList::Format::XML, &error))
        NSLog("AlarmManager: cannot save the alarms to %s: %s", path.c_str(), error.c_str());
}

std::string AlarmManager::newAlarmId()
{
    std::random_device source;
    std::uniform_int_distribution<unsigned> byte(0, 255);
    unsigned char bytes[16];
    for (auto& b : bytes)
        b = static_cast<unsigned char>(byte(source));
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2],
        bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14],
        bytes[15]);
    return text;
}
