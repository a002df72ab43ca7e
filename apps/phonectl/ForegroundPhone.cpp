#include "apps/phonectl/ForegroundPhone.h"

#include "apps/common/StopSignals.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/ServiceNotifier.h"
#include "apps/phonectl/SettingsLauncher.h"
#include "platform/foundation/ChildExitSource.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <systemd/sd-bus.h>
#include <unistd.h>

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
    takeSessionPhoneName(bus->bus(), "run");
    bus->updateWatch();
    return bus;
}

// The end of the session: its bus goes away, and the connection that holds the name hears the
// local Disconnected signal before it closes.
class SessionEnd {
public:
    explicit SessionEnd(PhoneBusConnection& bus)
    {
        int r = sd_bus_match_signal(bus.bus(), &m_slot, nullptr, "/org/freedesktop/DBus/Local", "org.freedesktop.DBus.Local",
            "Disconnected", &SessionEnd::onDisconnected, this);
        bus.updateWatch();
        if (r < 0)
            throw PhonectlError(std::string("run: cannot watch for the end of the session: ") + strerror(-r));
    }
    ~SessionEnd() { sd_bus_slot_unref(m_slot); }
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    bool happened() const { return m_happened; }

private:
    static int onDisconnected(sd_bus_message*, void* self, sd_bus_error*)
    {
        static_cast<SessionEnd*>(self)->m_happened = true;
        NSRunLoop::main().stop();
        return 0;
    }

    sd_bus_slot* m_slot { nullptr };
    bool m_happened { false };
};

}

int runPhoneInForeground(const BootOptions& options)
{
    // First of all, so that nothing run starts inherits the service manager's socket.
    ServiceNotifier serviceManager;
    StopSignals stopSignals;
    auto bus = claimSessionName();
    // Watched from here on: a session that ends while the phone boots stops it right after.
    SessionEnd sessionEnd(*bus);
    BootOptions foreground = options;
    foreground.foreground = getpid();
    bootPhone(foreground);
    serviceManager.notify("READY=1\nSTATUS=Hushline's phone is linked to the session");
    std::fprintf(stderr, "phonectl: the phone at %s runs; it stops with SIGTERM or the end of the session\n", options.root.c_str());

    // A phone that ends under run (phonectl stop on its folder, a crash of its supervisor) ends
    // run too, so that the service manager sees it and the session's name is free again.
    bool phoneEnded = false;
    std::optional<ChildExitSource> phoneEnd;
    if (auto supervisor = runningSupervisor(options.root))
        phoneEnd.emplace(*supervisor, [&phoneEnded](const ProcessExit&) {
            phoneEnded = true;
            NSRunLoop::main().stop();
        });
    NSRunLoop::main().run();
    serviceManager.notify("STOPPING=1");
    if (sessionEnd.happened())
        std::fprintf(stderr, "phonectl: the session ended (its bus is gone); stopping the phone\n");
    if (phoneEnded && !sessionEnd.happened() && !stopSignals.received()) {
        std::fprintf(stderr, "phonectl: the phone at %s stopped; run ends with it\n", options.root.c_str());
        stopSettings(options.root);
        return 1;
    }
    stopSettings(options.root);
    if (runningSupervisor(options.root))
        stopPhone(options.root);
    return 0;
}
