#include "apps/springboard/PhoneControlService.h"

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
    return { { "date", change.date }, { "what", change.what }, { "value", change.value }, { "detail", change.detail } };
}

int noClockError(sd_bus_error* error)
{
    return sd_bus_error_set(error, kNotSupported, "the phone runs on the system clock; boot it with --clock to move its time");
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

void PhoneControlService::reply(sd_bus_message* call, const PlistDictionary& result)
{
    sd_bus_message* reply = nullptr;
    std::string why;
    if (sd_bus_message_new_method_return(call, &reply) < 0 || !appendPlistDictionary(reply, result, &why)) {
        sd_bus_message_unref(reply);
        NSLog("SpringBoard: the control reply cannot be built: %s", why.c_str());
        sd_bus_reply_method_errorf(call, kFailed, "the reply cannot be built: %s", why.c_str());
        m_connection->updateWatch();
        return;
    }
    m_connection->send(reply);
    sd_bus_message_unref(reply);
}

void PhoneControlService::replyLater(sd_bus_message* call, std::function<PlistDictionary()> result)
{
    sd_bus_message_ref(call);
    std::weak_ptr<bool> alive = m_alive;
    NSRunLoop::main().performBlock([this, alive, call, result = std::move(result)] {
        if (alive.lock())
            reply(call, result());
        sd_bus_message_unref(call);
    });
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
    service(userdata).reply(call, phoneStateReport());
    return 1;
}

int PhoneControlService::onChanges(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    int64_t since = 0;
    int r = sd_bus_message_read(call, "x", &since);
    if (r < 0)
        return r;
    auto changes = Device::current().changes();
    PlistArray list;
    for (size_t i = since > 0 ? static_cast<size_t>(since) : 0; i < changes.size(); ++i)
        list.push_back(changeDictionary(changes[i]));
    service(userdata).reply(call, { { "changes", list }, { "next", static_cast<int64_t>(changes.size()) } });
    return 1;
}

int PhoneControlService::onSetClock(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    double time = 0;
    int r = sd_bus_message_read(call, "d", &time);
    if (r < 0)
        return r;
    if (!std::isfinite(time))
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the time is not a number");
    VirtualClock* clock = movableClock();
    if (!clock)
        return noClockError(error);
    PhoneControlService& self = service(userdata);
    self.replyLater(call, [&self, time] {
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
    return 1;
}

int PhoneControlService::onAdvanceClock(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    double seconds = 0;
    int r = sd_bus_message_read(call, "d", &seconds);
    if (r < 0)
        return r;
    if (!std::isfinite(seconds) || seconds < 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the clock only advances by a number of seconds of 0 or more");
    if (!movableClock())
        return noClockError(error);
    // Every timer and delayed step on the way fires at its own moment.
    service(userdata).replyLater(call, [seconds] {
        NSRunLoop::main().advanceBy(seconds);
        announceClockMoved();
        return clockResult();
    });
    return 1;
}

int PhoneControlService::onSetLocked(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    int locked = 0;
    int r = sd_bus_message_read(call, "b", &locked);
    if (r < 0)
        return r;
    Device::current().setLocked(locked != 0);
    service(userdata).replyLater(call, [] { return PlistDictionary {}; });
    return 1;
}

int PhoneControlService::onPressVolumeButton(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const char* button = nullptr;
    int r = sd_bus_message_read(call, "s", &button);
    if (r < 0)
        return r;
    auto buttons = SBVolumeHardwareButton::sharedInstance();
    std::string which = button;
    if (which == "up")
        buttons->volumeIncreasePress(nullptr);
    else if (which == "down")
        buttons->volumeDecreasePress(nullptr);
    else
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "there is no volume button \"%s\" (up or down)", button);
    service(userdata).replyLater(call, [] { return PlistDictionary { { "ringerVolume", Device::current().ringerVolume() } }; });
    return 1;
}

int PhoneControlService::onAnswerAlert(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    int64_t index = 0;
    int r = sd_bus_message_read(call, "x", &index);
    if (r < 0)
        return r;
    auto alert = UIAlertView::visibleAlertView();
    if (!alert)
        return sd_bus_error_set(error, kFailed, "no alert is on screen");
    if (!alert->clickButtonAtIndex(static_cast<long>(index)))
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "the alert has no button %lld (it has %ld)", static_cast<long long>(index),
            alert->numberOfButtons());
    service(userdata).replyLater(call, [] { return PlistDictionary {}; });
    return 1;
}

int PhoneControlService::onAddAlarm(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const char* title = nullptr;
    int32_t hour = 0;
    int32_t minute = 0;
    int active = 0;
    int r = sd_bus_message_read(call, "siib", &title, &hour, &minute, &active);
    if (r < 0)
        return r;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "%d:%02d is no time of day", hour, minute);
    auto alarm = std::make_shared<Alarm>(AlarmManager::newAlarmId(), hour, minute, title);
    AlarmManager::sharedManager()->addAlarm(alarm, active != 0);
    service(userdata).replyLater(call, [alarm] { return PlistDictionary { { "alarmId", alarm->alarmId() } }; });
    return 1;
}

int PhoneControlService::onRemoveAlarm(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const char* alarmId = nullptr;
    int r = sd_bus_message_read(call, "s", &alarmId);
    if (r < 0)
        return r;
    auto clock = AlarmManager::sharedManager();
    auto alarm = clock->alarmWithId(std::string(alarmId));
    if (!alarm)
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "the clock has no alarm \"%s\"", alarmId);
    clock->removeAlarm(alarm);
    service(userdata).replyLater(call, [] { return PlistDictionary {}; });
    return 1;
}

int PhoneControlService::onSetAlarmActive(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const char* alarmId = nullptr;
    int active = 0;
    int r = sd_bus_message_read(call, "sb", &alarmId, &active);
    if (r < 0)
        return r;
    auto clock = AlarmManager::sharedManager();
    auto alarm = clock->alarmWithId(std::string(alarmId));
    if (!alarm)
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "the clock has no alarm \"%s\"", alarmId);
    clock->setAlarm(alarm, active != 0);
    service(userdata).replyLater(call, [] { return PlistDictionary {}; });
    return 1;
}

int PhoneControlService::onSetDoNotDisturb(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    int enabled = 0;
    int r = sd_bus_message_read(call, "b", &enabled);
    if (r < 0)
        return r;
    Device::current().setDoNotDisturbEnabled(enabled != 0, "Control Center");
    service(userdata).replyLater(call, [] { return PlistDictionary { { "doNotDisturb", Device::current().isDoNotDisturbEnabled() } }; });
    return 1;
}

int PhoneControlService::onSetVibrate(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const char* mode = nullptr;
    int enabled = 0;
    int r = sd_bus_message_read(call, "sb", &mode, &enabled);
    if (r < 0)
        return r;
    std::string which = mode;
    if (which != "ring" && which != "silent")
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "there is no vibrate setting \"%s\" (ring or silent)", mode);
    // As the Sounds settings do: the springboard domain's key, then its change notification.
    auto& defaults = NSUserDefaults::standardUserDefaults();
    PlistDictionary domain = defaults.persistentDomainForName("com.apple.springboard").value_or(PlistDictionary());
    domain[which + "-vibrate"] = enabled != 0;
    defaults.setPersistentDomain(domain, "com.apple.springboard");
    notify_post(("com.apple.springboard." + which + "-vibrate.changed").c_str());
    service(userdata).replyLater(call, [] {
        return PlistDictionary { { "ringVibrate", Device::current().ringVibrate() }, { "silentVibrate", Device::current().silentVibrate() } };
    });
    return 1;
}

int PhoneControlService::onPlayTone(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const char* identifier = nullptr;
    int64_t type = 0;
    const char* via = nullptr;
    int r = sd_bus_message_read(call, "sxs", &identifier, &type, &via);
    if (r < 0)
        return r;
    Device::Tone tone;
    tone.identifier = identifier;
    tone.type = type;
    tone.via = via;
    Device::current().playTone(std::move(tone));
    service(userdata).replyLater(call, [] { return PlistDictionary {}; });
    return 1;
}

int PhoneControlService::onSetRingerVolume(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    double volume = 0;
    int r = sd_bus_message_read(call, "d", &volume);
    if (r < 0)
        return r;
    if (!std::isfinite(volume) || volume < 0 || volume > 1)
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "a volume lies between 0 and 1");
    // The volume display's slider sets the ringer as any other volume change does.
    AVSystemController::sharedAVSystemController()->setVolumeTo(static_cast<float>(volume), kAVSystemControllerRingtoneCategory);
    service(userdata).replyLater(call, [] { return PlistDictionary { { "ringerVolume", Device::current().ringerVolume() } }; });
    return 1;
}
