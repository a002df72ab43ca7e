#include "platform/session/BusCall.h"

#include "platform/machinery/SdBusHandles.h"
#include "platform/phonebus/PhoneBusConnection.h"

namespace BusCall {

namespace {

template<class Handler>
void destroyHandler(void* userdata)
{
    delete static_cast<Handler*>(userdata);
}

int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    (*static_cast<ReplyHandler*>(userdata))(reply);
    return 0;
}

int onSignal(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    (*static_cast<SignalHandler*>(userdata))(message);
    return 0;
}

}

bool call(PhoneBusConnection& connection, const char* destination, const char* path, const char* interface, const char* member,
    const std::function<int(sd_bus_message*)>& build, ReplyHandler handler)
{
    if (!connection.isOpen())
        return false;
    SdBusMessage message;
    int r = sd_bus_message_new_method_call(connection.bus(), &message.message, destination, path, interface, member);
    if (r >= 0 && build)
        r = build(message.message);
    if (r < 0)
        return false;
    sd_bus_slot* slot = nullptr;
    auto* userdata = new ReplyHandler(std::move(handler));
    r = sd_bus_call_async(connection.bus(), &slot, message.message, &onReply, userdata, 0);
    if (r < 0) {
        delete userdata;
        return false;
    }
    sd_bus_slot_set_destroy_callback(slot, &destroyHandler<ReplyHandler>);
    // The bus keeps the slot (and the handler) until the reply came or the connection closed.
    sd_bus_slot_set_floating(slot, 1);
    sd_bus_slot_unref(slot);
    connection.updateWatch();
    return true;
}

Slot match(PhoneBusConnection& connection, const std::string& rule, SignalHandler handler)
{
    if (!connection.isOpen())
        return nullptr;
    sd_bus_slot* slot = nullptr;
    auto* userdata = new SignalHandler(std::move(handler));
    if (sd_bus_add_match(connection.bus(), &slot, rule.c_str(), &onSignal, userdata) < 0) {
        delete userdata;
        return nullptr;
    }
    sd_bus_slot_set_destroy_callback(slot, &destroyHandler<SignalHandler>);
    connection.updateWatch();
    return Slot(slot);
}

std::string errorName(sd_bus_message* reply)
{
    const sd_bus_error* error = reply ? sd_bus_message_get_error(reply) : nullptr;
    return error && error->name ? error->name : "";
}

}
