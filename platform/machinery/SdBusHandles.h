#pragma once

#include <systemd/sd-bus.h>

// RAII holders for sd-bus's C values, so that every path out of a call frees them.

struct SdBusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    SdBusError() = default;
    SdBusError(const SdBusError&) = delete;
    SdBusError& operator=(const SdBusError&) = delete;
    ~SdBusError() { sd_bus_error_free(&error); }
};

struct SdBusMessage {
    sd_bus_message* message { nullptr };
    SdBusMessage() = default;
    SdBusMessage(const SdBusMessage&) = delete;
    SdBusMessage& operator=(const SdBusMessage&) = delete;
    ~SdBusMessage() { sd_bus_message_unref(message); }
};

// Opens a client connection to the bus at the address and starts it (its Hello to the bus is
// under way). A negative errno when that fails; *bus is then nullptr.
inline int sdBusOpenClient(const char* address, sd_bus** bus)
{
    *bus = nullptr;
    int r = sd_bus_new(bus);
    if (r >= 0)
        r = sd_bus_set_address(*bus, address);
    if (r >= 0)
        r = sd_bus_set_bus_client(*bus, 1);
    if (r >= 0)
        r = sd_bus_start(*bus);
    if (r < 0)
        *bus = sd_bus_flush_close_unref(*bus);
    return r;
}
