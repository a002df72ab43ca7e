#pragma once

#include "platform/session/BusCall.h"

#include <functional>
#include <memory>

class PhoneBusConnection;

// Tells the phone that the machine woke up from a suspend: logind's PrepareForSleep(false) on the
// system bus (org.freedesktop.login1.Manager). PrepareForSleep(true), the way into a suspend, is
// not reported: nothing becomes due by going to sleep. The handler runs on the main run loop,
// once per wake-up, so that the phone checks at once what became due while it slept instead of
// waiting for a timer of its own.
class ResumeWatch {
public:
    using Handler = std::function<void()>;

    // On the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the default socket). Without one, a log
    // line says so and the watch never reports.
    static std::unique_ptr<ResumeWatch> start(Handler wokeUp);
    // On a connection of the caller's to the system bus.
    static std::unique_ptr<ResumeWatch> start(std::shared_ptr<PhoneBusConnection> systemBus, Handler wokeUp);
    ~ResumeWatch();
    ResumeWatch(const ResumeWatch&) = delete;
    ResumeWatch& operator=(const ResumeWatch&) = delete;

private:
    ResumeWatch(std::shared_ptr<PhoneBusConnection>, Handler);
    void prepareForSleep(sd_bus_message*);

    std::shared_ptr<PhoneBusConnection> m_bus;
    Handler m_handler;
    BusCall::Slot m_match;
};
