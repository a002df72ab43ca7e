#include "apps/phonectl/SessionPhoneName.h"

#include "apps/phonectl/ControlClient.h"
#include "platform/machinery/SdBusHandles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

// A question to the bus answers at once; a bus that does not answer within this is not used.
constexpr uint64_t kCallTimeoutUsec = 5'000'000;

const char* sessionBusAddress()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address && *address ? address : nullptr;
}

std::optional<pid_t> holderOn(sd_bus* bus)
{
    SdBusError error;
    SdBusMessage reply;
    int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetConnectionUnixProcessID",
        &error.error, &reply.message, "s", kForegroundPhoneName);
    uint32_t pid = 0;
    if (r < 0 || sd_bus_message_read(reply.message, "u", &pid) < 0 || pid == 0)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

std::string alreadyRuns(const std::string& command, std::optional<pid_t> holder)
{
    std::string who = holder ? "process " + std::to_string(*holder) + " holds" : "another process holds";
    return command + ": Hushline already runs for this user (" + who + " the session bus name " + kForegroundPhoneName
        + "); stop that phone first (systemctl --user stop hushline, or phonectl stop with its --root)";
}

std::string noSessionBus(const std::string& command)
{
    return command + ": no session bus (DBUS_SESSION_BUS_ADDRESS); run it inside the user's session";
}

}

void takeSessionPhoneName(sd_bus* bus, const std::string& command)
{
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
    int r = sd_bus_request_name(bus, kForegroundPhoneName, 0);
    if (r == -EEXIST)
        throw PhonectlError(alreadyRuns(command, holderOn(bus)));
    if (r < 0)
        throw PhonectlError(command + ": cannot take the session bus name " + kForegroundPhoneName + ": " + strerror(-r));
}

std::optional<pid_t> sessionPhoneHolder()
{
    const char* address = sessionBusAddress();
    sd_bus* bus = nullptr;
    if (!address || sdBusOpenClient(address, &bus) < 0)
        return std::nullopt;
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
    auto holder = holderOn(bus);
    sd_bus_flush_close_unref(bus);
    return holder;
}

void requireSessionFreeForThisPhone(const std::string& command)
{
    if (!sessionBusAddress())
        throw PhonectlError(noSessionBus(command));
    if (auto holder = sessionPhoneHolder(); holder && *holder != getpid())
        throw PhonectlError(alreadyRuns(command, holder));
}

std::unique_ptr<SessionPhoneNameHold> SessionPhoneNameHold::take(const std::string& command)
{
    const char* address = sessionBusAddress();
    if (!address)
        throw PhonectlError(noSessionBus(command));
    sd_bus* bus = nullptr;
    if (int r = sdBusOpenClient(address, &bus); r < 0)
        throw PhonectlError(command + ": cannot connect to the session bus: " + strerror(-r));
    std::unique_ptr<SessionPhoneNameHold> hold(new SessionPhoneNameHold(bus));
    takeSessionPhoneName(bus, command);
    return hold;
}

SessionPhoneNameHold::SessionPhoneNameHold(sd_bus* bus)
    : m_bus(bus)
{
}

SessionPhoneNameHold::~SessionPhoneNameHold()
{
    sd_bus_flush_close_unref(m_bus);
}

int SessionPhoneNameHold::descriptor() const
{
    return sd_bus_get_fd(m_bus);
}

bool SessionPhoneNameHold::isConnected()
{
    // Past a hang-up sd-bus is "closing" and then closed; what else came (the bus's NameAcquired,
    // a peer's Ping) is answered or dropped on the way.
    int r;
    while ((r = sd_bus_process(m_bus, nullptr)) > 0) { }
    if (r < 0 || sd_bus_is_open(m_bus) <= 0)
        return false;
    if (sd_bus_get_events(m_bus) & POLLOUT)
        sd_bus_flush(m_bus);
    return true;
}
