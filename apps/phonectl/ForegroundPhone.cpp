#include "apps/phonectl/ForegroundPhone.h"

#include "apps/common/StopSignals.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/SettingsLauncher.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <systemd/sd-bus.h>
#include <systemd/sd-daemon.h>

namespace {

std::shared_ptr<PhoneBusConnection> claimSessionName()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        throw PhonectlError("run: no session bus (DBUS_SESSION_BUS_ADDRESS); run it inside the user's session");
    std::shared_ptr<PhoneBusConnection> bus;
    try {
        bus = PhoneBusConnection::open(address);
    } catch (const std::exception& error) {
        throw PhonectlError(std::string("run: ") + error.what());
    }
    int r = sd_bus_request_name(bus->bus(), kForegroundPhoneName, 0);
    bus->updateWatch();
    if (r == -EEXIST)
        throw PhonectlError("run: Hushline already runs for this user (the session bus name " + std::string(kForegroundPhoneName) + " is taken)");
    if (r < 0)
        throw PhonectlError(std::string("run: cannot take the session bus name: ") + strerror(-r));
    return bus;
}

int onDisconnected(sd_bus_message*, void* ended, sd_bus_error*)
{
    *static_cast<bool*>(ended) = true;
    NSRunLoop::main().stop();
    return 0;
}

}

int runPhoneInForeground(const BootOptions& options)
{
    StopSignals stopSignals;
    auto bus = claimSessionName();
    bootPhone(options);
    sd_notify(0, "READY=1\nSTATUS=Hushline's phone is linked to the session");
    std::fprintf(stderr, "phonectl: the phone at %s runs; it stops with SIGTERM or the end of the session\n", options.root.c_str());

    // The session ends: its bus goes away, and sd-bus tells the connection that held the name.
    bool sessionEnded = false;
    sd_bus_slot* disconnected = nullptr;
    sd_bus_match_signal(bus->bus(), &disconnected, nullptr, "/org/freedesktop/DBus/Local", "org.freedesktop.DBus.Local", "Disconnected",
        &onDisconnected, &sessionEnded);
    bus->updateWatch();
    NSRunLoop::main().run();
    sd_bus_slot_unref(disconnected);
    sd_notify(0, "STOPPING=1");
    if (sessionEnded)
        std::fprintf(stderr, "phonectl: the session ended; stopping the phone\n");
    stopSettings(options.root);
    if (runningSupervisor(options.root))
        stopPhone(options.root);
    return 0;
}
