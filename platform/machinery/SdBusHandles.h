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
