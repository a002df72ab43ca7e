#include "apps/settings/PhoneToneRelay.h"

#include "platform/device/Device.h"
#include "platform/device/PhoneControl.h"
#include "platform/foundation/NSLog.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <cerrno>
#include <cstring>
#include <systemd/sd-bus.h>

void relayTonesToHomeScreen()
{
    Device::current().setToneRelay([](const Device::Tone& tone) {
        auto connection = PhoneBusConnection::process();
        sd_bus_message* call = nullptr;
        int r = connection && connection->isOpen()
            ? sd_bus_message_new_method_call(connection->bus(), &call, PhoneControl::kServiceName, PhoneControl::kObjectPath,
                PhoneControl::kInterface, "PlayTone")
            : -ENOTCONN;
        if (r >= 0)
            r = sd_bus_message_append(call, "sxs", tone.identifier.c_str(), static_cast<int64_t>(tone.type), tone.via.c_str());
        // Nobody waits for the answer: the tone plays while the user goes on.
        if (r >= 0)
            r = sd_bus_message_set_expect_reply(call, 0);
        if (r < 0 || !connection->send(call))
            NSLog("Settings: the tone %s cannot reach the home screen: %s", tone.identifier.c_str(), strerror(r < 0 ? -r : EIO));
        sd_bus_message_unref(call);
    });
}
