#pragma once

#include "platform/device/Device.h"
#include "platform/foundation/PlistValue.h"

#include <functional>
#include <memory>
#include <systemd/sd-bus.h>

class PhoneBusConnection;

// The phone's control interface on the phone's bus (see com.velloq.phone.Control.xml): the
// home-screen host's service through which phonectl and tests read the phone and act on it.
//
// Every method that acts replies once the main run loop has turned past the action, so that
// what the action set off for "now" (the volume-change notification of a button press, the
// timers a clock move made due) has happened when the caller reads the state. Every change of
// the device is announced with the signal Changed.
class PhoneControlService {
public:
    struct Hooks {
        // After the clock was set (the midnight watch looks at the day).
        std::function<void()> clockWasSet;
    };

    // Puts the service on the connection and claims its name. Throws std::runtime_error when
    // the name is taken (another host runs for the phone) or the bus refuses.
    PhoneControlService(std::shared_ptr<PhoneBusConnection>, Hooks);
    ~PhoneControlService();
    PhoneControlService(const PhoneControlService&) = delete;
    PhoneControlService& operator=(const PhoneControlService&) = delete;

private:
    static const sd_bus_vtable* vtable();
    static int onState(sd_bus_message*, void*, sd_bus_error*);
    static int onChanges(sd_bus_message*, void*, sd_bus_error*);
    static int onSetClock(sd_bus_message*, void*, sd_bus_error*);
    static int onAdvanceClock(sd_bus_message*, void*, sd_bus_error*);
    static int onSetLocked(sd_bus_message*, void*, sd_bus_error*);
    static int onPlayTone(sd_bus_message*, void*, sd_bus_error*);
    static int onPressVolumeButton(sd_bus_message*, void*, sd_bus_error*);
    static int onAnswerAlert(sd_bus_message*, void*, sd_bus_error*);
    static int onAddAlarm(sd_bus_message*, void*, sd_bus_error*);
    static int onRemoveAlarm(sd_bus_message*, void*, sd_bus_error*);
    static int onSetAlarmActive(sd_bus_message*, void*, sd_bus_error*);
    static int onSetDoNotDisturb(sd_bus_message*, void*, sd_bus_error*);
    static int onSetVibrate(sd_bus_message*, void*, sd_bus_error*);
    static int onSetRingerVolume(sd_bus_message*, void*, sd_bus_error*);

    // Every handler ends in one of these: replies with the dictionary now, or on a later turn of
    // the main run loop (after what the call changed has run its course). Both return the
    // handler's result for a call that is answered.
    int replyLater(sd_bus_message* call, std::function<PlistDictionary()> result);
    int reply(sd_bus_message* call, const PlistDictionary&);
    void announce(const PlistDictionary& change);

    std::shared_ptr<PhoneBusConnection> m_connection;
    Hooks m_hooks;
    sd_bus_slot* m_slot { nullptr };
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    Device::ObserverToken m_observer { 0 };
};
