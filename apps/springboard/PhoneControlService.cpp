#include "apps/springboard/PhoneControlService.h"

#include "apps/springboard/BusArguments.h"
#include "apps/springboard/PhoneStateReport.h"
#include "platform/appsupport/PlistBusMessage.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/device/Device.h"
#include "platform/device/PhoneControl.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/mobiletimer/AlarmManager.h"
#include "platform/springboard/SBVolumeHardwareButton.h"
#include "platform/uikit/UIAlertView.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

constexpr const char* kNotSupported = "org.freedesktop.DBus.Error.NotSupported";

// The phone's other processes read the shared clock but nothing wakes them when it moves; this
// Darwin notification does, so that their own timers run once their time has come.
void announceClockMoved()
{
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), PhoneControl::kClockMovedNotification, nullptr, nullptr, true);
}
constexpr const char* kFailed = "org.freedesktop.DBus.Error.Failed";

PhoneControlService& service(void* userdata)
{
    return *static_cast<PhoneControlService*>(userdata);
}

VirtualClock* movableClock()
{
    return dynamic_cast<VirtualClock*>(&Clock::process());
}

PlistDictionary clockResult()
{
    return { { "clock", NSDate::date() } };
}

PlistDictionary changeDictionary(const Device::Change& change)
{
    return { { "date", change.date }, { "what", std::string(deviceChangeName(change.what)) }, { "value", change.value }, { "detail", change.detail } };
}

int noClockError(sd_bus_error* error)
{
    return sd_bus_error_set(error, kNotSupported, "the phone runs on the system clock; boot it with --clock to move its time");
}

int noAlarmError(sd_bus_error* error, const std::string& alarmId)
{
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "the clock has no alarm \"%s\"", alarmId.c_str());
}

// The reply of a call that has nothing to tell but that it was done.
PlistDictionary nothing()
{
    return {};
}

}

const sd_bus_vtable* PhoneControlService::vtable()
{
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
#include "PhoneControlVTable.inc"
        SD_BUS_VTABLE_END,
    };
    return table;
}

PhoneControlService::PhoneControlService(std::shared_ptr<PhoneBusConnection> connection, Hooks hooks)
    : m_connection(std::move(connection))
    , m_hooks(std::move(hooks))
{
    int r = sd_bus_add_object_vtable(m_connection->bus(), &m_slot, PhoneControl::kObjectPath, PhoneControl::kInterface, vtable(), this);
    if (r >= 0)
        r = sd_bus_request_name(m_connection->bus(), PhoneControl::kServiceName, 0);
    m_connection->updateWatch();
    if (r < 0) {
        m_slot = sd_bus_slot_unref(m_slot);
        throw std::runtime_error(std::string("cannot serve ") + PhoneControl::kServiceName + " on the phone's bus: " + strerror(-r));
    }
    std::weak_ptr<bool> alive = m_alive;
    m_observer = Device::current().addChangeObserver([this, alive](const Device::Change& change) {
        PlistDictionary announced = changeDictionary(change);
        m_connection->perform([this, alive, announced] {
            if (alive.lock())
                announce(announced);
        });
    });
}

PhoneControlService::~PhoneControlService()
{
    Device::current().removeChangeObserver(m_observer);
    *m_alive = false;
    if (m_connection->isOpen())
        sd_bus_release_name(m_connection->bus(), PhoneControl::kServiceName);
    sd_bus_slot_unref(m_slot);
}

int PhoneControlService::reply(sd_bus_message* call, const PlistDictionary& result)
{
    sd_bus_message* reply = nullptr;
    std::string why;
    if (sd_bus_message_new_method_return(call, &reply) < 0 || !appendPlistDictionary(reply, result, &why)) {
        sd_bus_message_unref(reply);
        NSLog("SpringBoard: the control reply cannot be built: %s", why.c_str());
        sd_bus_reply_method_errorf(call, kFailed, "the reply cannot be built: %s", why.c_str());
        m_connection->updateWatch();
        return 1;
    }
    m_connection->send(reply);
    sd_bus_message_unref(reply);
    return 1;
}

int PhoneControlService::replyLater(sd_bus_message* call, std::function<PlistDictionary()> result)
{
    sd_bus_message_ref(call);
    std::weak_ptr<bool> alive = m_alive;
    NSRunLoop::main().performBlock([this, alive, call, result = std::move(result)] {
        if (alive.lock())
            reply(call, result());
        sd_bus_message_unref(call);
    });
    return 1;
}

void PhoneControlService::announce(const PlistDictionary& change)
{
    sd_bus_message* signal = nullptr;
    std::string why;
    if (sd_bus_message_new_signal(m_connection->bus(), &signal, PhoneControl::kObjectPath, PhoneControl::kInterface, "Changed") >= 0
        && appendPlistDictionary(signal, change, &why))
        m_connection->send(signal);
    sd_bus_message_unref(signal);
}

int PhoneControlService::onState(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return service(userdata).reply(call, phoneStateReport());
}

int PhoneControlService::onChanges(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    int64_t since = 0;
    if (int r = BusArguments::read(call, since); r < 0)
        return r;
    auto changes = Device::current().changes();
    PlistArray list;
    for (size_t i = since > 0 ? static_cast<size_t>(since) : 0; i < changes.size(); ++i)
        list.push_back(changeDictionary(changes[i]));
    return service(userdata).reply(call, { { "changes", list }, { "next", static_cast<int64_t>(changes.size()) } });
}

int PhoneControlService::onSetClock(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    double time = 0;
    if (int r = BusArguments::read(call, time); r < 0)
        return r;
    if (!std::isfinite(time))
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the time is not a number");
    if (!movableClock())
        return noClockError(error);
    PhoneControlService& self = service(userdata);
    return self.replyLater(call, [&self, time] {
        // A jump: whatever the new time has made due runs at once, at the new time, as on a
        // phone whose wall clock was set.
        if (VirtualClock* moved = movableClock())
            moved->set(time);
        NSRunLoop::main().runPending();
        if (self.m_hooks.clockWasSet)
            self.m_hooks.clockWasSet();
        NSRunLoop::main().runPending();
        announceClockMoved();
        return clockResult();
    });
}

int PhoneControlService::onAdvanceClock(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    double seconds = 0;
    if (int r = BusArguments::read(call, seconds); r < 0)
        return r;
    if (!std::isfinite(seconds) || seconds < 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the clock only advances by a number of seconds of 0 or more");
    if (!movableClock())
        return noClockError(error);
    // Every timer and delayed step on the way fires at its own moment.
    return service(userdata).replyLater(call, [seconds] {
        NSRunLoop::main().advanceBy(seconds);
        announceClockMoved();
        return clockResult();
    });
}

int PhoneControlService::onSetLocked(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    bool locked = false;
    if (int r = BusArguments::read(call, locked); r < 0)
        return r;
    Device::current().setLocked(locked);
    return service(userdata).replyLater(call, nothing);
}

int PhoneControlService::onPressVolumeButton(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::string button;
    if (int r = BusArguments::read(call, button); r < 0)
        return r;
    auto buttons = SBVolumeHardwareButton::sharedInstance();
    if (button == "up")
        buttons->volumeIncreasePress(nullptr);
    else if (button == "down")
        buttons->volumeDecreasePress(nullptr);
    else
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "there is no volume button \"%s\" (up or down)", button.c_str());
    return service(userdata).replyLater(call, [] { return PlistDictionary { { "ringerVolume", Device::current().ringerVolume() } }; });
}

int PhoneControlService::onAnswerAlert(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    int64_t index = 0;
    if (int r = BusArguments::read(call, index); r < 0)
        return r;
    auto alert = UIAlertView::visibleAlertView();
    if (!alert)
        return sd_bus_error_set(error, kFailed, "no alert is on screen");
    if (!alert->clickButtonAtIndex(static_cast<long>(index)))
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "the alert has no button %lld (it has %ld)", static_cast<long long>(index),
            alert->numberOfButtons());
    return service(userdata).replyLater(call, nothing);
}

int PhoneControlService::onAddAlarm(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::string title;
    int32_t hour = 0;
    int32_t minute = 0;
    bool active = false;
    if (int r = BusArguments::read(call, title, hour, minute, active); r < 0)
        return r;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "%d:%02d is no time of day", hour, minute);
    auto alarm = std::make_shared<Alarm>(AlarmManager::newAlarmId(), hour, minute, title);
    AlarmManager::sharedManager()->addAlarm(alarm, active);
    return service(userdata).replyLater(call, [alarm] { return PlistDictionary { { "alarmId", alarm->alarmId() } }; });
}

int PhoneControlService::onRemoveAlarm(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::string alarmId;
    if (int r = BusArguments::read(call, alarmId); r < 0)
        return r;
    auto clock = AlarmManager::sharedManager();
    auto alarm = clock->alarmWithId(alarmId);
    if (!alarm)
        return noAlarmError(error, alarmId);
    clock->removeAlarm(alarm);
    return service(userdata).replyLater(call, nothing);
}

int PhoneControlService::onSetAlarmActive(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::string alarmId;
    bool active = false;
    if (int r = BusArguments::read(call, alarmId, active); r < 0)
        return r;
    auto clock = AlarmManager::sharedManager();
    auto alarm = clock->alarmWithId(alarmId);
    if (!alarm)
        return noAlarmError(error, alarmId);
    clock->setAlarm(alarm, active);
    return service(userdata).replyLater(call, nothing);
}

int PhoneControlService::onSetDoNotDisturb(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    bool enabled = false;
    if (int r = BusArguments::read(call, enabled); r < 0)
        return r;
    Device::current().setDoNotDisturbEnabled(enabled, "Control Center");
    return service(userdata).replyLater(call, [] { return PlistDictionary { { "doNotDisturb", Device::current().isDoNotDisturbEnabled() } }; });
}

int PhoneControlService::onSetVibrate(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::string mode;
    bool enabled = false;
    if (int r = BusArguments::read(call, mode, enabled); r < 0)
        return r;
    if (mode != "ring" && mode != "silent")
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "there is no vibrate setting \"%s\" (ring or silent)", mode.c_str());
    // As the Sounds settings do: the springboard domain's key, then its change notification.
    auto& defaults = NSUserDefaults::standardUserDefaults();
    PlistDictionary domain = defaults.persistentDomainForName("com.apple.springboard").value_or(PlistDictionary());
    domain[mode + "-vibrate"] = enabled;
    defaults.setPersistentDomain(domain, "com.apple.springboard");
    notify_post(("com.apple.springboard." + mode + "-vibrate.changed").c_str());
    return service(userdata).replyLater(call, [] {
        return PlistDictionary { { "ringVibrate", Device::current().ringVibrate() }, { "silentVibrate", Device::current().silentVibrate() } };
    });
}

int PhoneControlService::onPlayTone(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    Device::Tone tone;
    if (int r = BusArguments::read(call, tone.identifier, tone.type, tone.via); r < 0)
        return r;
    Device::current().playTone(std::move(tone));
    return service(userdata).replyLater(call, nothing);
}

int PhoneControlService::onSetRingerVolume(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    double volume = 0;
    if (int r = BusArguments::read(call, volume); r < 0)
        return r;
    if (!std::isfinite(volume) || volume < 0 || volume > 1)
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "a volume lies between 0 and 1");
    // The volume display's slider sets the ringer as any other volume change does.
    AVSystemController::sharedAVSystemController()->setVolumeTo(static_cast<float>(volume), kAVSystemControllerRingtoneCategory);
    return service(userdata).replyLater(call, [] { return PlistDictionary { { "ringerVolume", Device::current().ringerVolume() } }; });
}
