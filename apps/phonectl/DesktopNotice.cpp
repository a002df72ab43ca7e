#include "apps/phonectl/DesktopNotice.h"

#include "platform/machinery/SdBusHandles.h"

#include <cstdlib>

namespace {

// A notification server answers at once; a launcher does not hang on one that does not.
constexpr uint64_t kCallTimeoutUsec = 5'000'000;
// The desktop entry the notification belongs to, and its icon.
constexpr const char* kDesktopEntry = "hushline";
constexpr const char* kIcon = "preferences-system-notifications";

int appendNotification(sd_bus_message* call, const std::string& summary, const std::string& body)
{
    int r = sd_bus_message_append(call, "susss", "Hushline", 0U, kIcon, summary.c_str(), body.c_str());
    if (r >= 0)
        r = sd_bus_message_append(call, "as", 0);
    if (r >= 0)
        r = sd_bus_message_append(call, "a{sv}", 2, "desktop-entry", "s", kDesktopEntry, "urgency", "y", static_cast<uint8_t>(1));
    if (r >= 0)
        r = sd_bus_message_append(call, "i", -1);
    return r;
}

}

bool notifyDesktop(const std::string& summary, const std::string& body)
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    sd_bus* bus = nullptr;
    if (!address || !*address || sdBusOpenClient(address, &bus) < 0)
        return false;
    SdBusMessage call;
    SdBusError error;
    int r = sd_bus_message_new_method_call(bus, &call.message, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify");
    if (r >= 0)
        r = appendNotification(call.message, summary, body);
    if (r >= 0)
        r = sd_bus_call(bus, call.message, kCallTimeoutUsec, &error.error, nullptr);
    sd_bus_flush_close_unref(bus);
    return r >= 0;
}
