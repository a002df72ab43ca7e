#pragma once

#include <functional>
#include <memory>
#include <string>
#include <systemd/sd-bus.h>

class PhoneBusConnection;

// Asynchronous method calls and signal matches on a connection served by the main run loop,
// whose handlers are std::functions: the handler is freed with its slot (when it has run, or when
// the connection closes first), so nothing of it outlives the connection.
namespace BusCall {

// The reply handler gets the reply (an error reply when the call failed or timed out).
using ReplyHandler = std::function<void(sd_bus_message* reply)>;
// Sends the call built by `build` (which appends the arguments); false when it cannot be sent.
bool call(PhoneBusConnection&, const char* destination, const char* path, const char* interface, const char* member,
    const std::function<int(sd_bus_message*)>& build, ReplyHandler);

using SignalHandler = std::function<void(sd_bus_message*)>;
// A match kept as long as the returned slot lives.
struct SlotDeleter {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Slot = std::unique_ptr<sd_bus_slot, SlotDeleter>;
Slot match(PhoneBusConnection&, const std::string& rule, SignalHandler);

// The error name of a reply, "" when it is no error.
std::string errorName(sd_bus_message* reply);

}
