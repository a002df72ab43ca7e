#include "platform/appsupport/CPDistributedMessagingCenter.h"

#include "platform/machinery/SdBusHandles.h"
#include "MessagingCenterInterface.h"
#include "platform/appsupport/PlistBusMessage.h"
#include "platform/foundation/NSLog.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <cctype>
#include <cstring>
#include <systemd/sd-bus.h>

namespace {

constexpr const char* kIntrospectable = "org.freedesktop.DBus.Introspectable";

using BusError = SdBusError;
using Message = SdBusMessage;

// Whether a server holds the name on the bus. The bus itself answers, so this is safe in the
// server's own process too.
bool nameHasOwner(sd_bus* bus, const std::string& name, std::string& why)
{
    BusError error;
    Message reply;
    int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner", &error.error,
        &reply.message, "s", name.c_str());
    if (r < 0) {
        why = error.error.message ? error.error.message : strerror(-r);
        return false;
    }
    int owned = 0;
    if (sd_bus_message_read(reply.message, "b", &owned) < 0 || !owned) {
        why = "no server holds the name";
        return false;
    }
    return true;
}

}

std::shared_ptr<CPDistributedMessagingCenter> CPDistributedMessagingCenter::centerNamed(const std::string& name)
{
    return std::make_shared<CPDistributedMessagingCenter>(name);
}

std::string CPDistributedMessagingCenter::objectPath(const std::string& centerName)
{
    std::string path;
    std::string element;
    auto endElement = [&] {
        if (!element.empty())
            path += "/" + element;
        element.clear();
    };
    for (unsigned char c : centerName) {
        if (c == '.' || c == '/')
            endElement();
        else
            element += (isalnum(c) || c == '_') ? static_cast<char>(c) : '_';
    }
    endElement();
    return path.empty() ? "/" : path;
}

CPDistributedMessagingCenter::CPDistributedMessagingCenter(std::string name)
    : m_name(std::move(name))
{
}

CPDistributedMessagingCenter::~CPDistributedMessagingCenter()
{
    if (m_connection && m_connection->isOpen() && m_nameClaimed)
        sd_bus_release_name(m_connection->bus(), m_name.c_str());
    sd_bus_slot_unref(m_object);
}

void CPDistributedMessagingCenter::runServerOnCurrentThread()
{
    if (m_object)
        return;
    auto connection = PhoneBusConnection::process();
    if (!connection) {
        NSLog("CPDistributedMessagingCenter: the phone's bus is not running; the server \"%s\" does not run", m_name.c_str());
        return;
    }
    int r = sd_bus_add_object(connection->bus(), &m_object, objectPath(m_name).c_str(), &CPDistributedMessagingCenter::onMessage, this);
    if (r < 0) {
        m_object = nullptr;
        NSLog("CPDistributedMessagingCenter: the server \"%s\" cannot run: %s", m_name.c_str(), strerror(-r));
        return;
    }
    m_connection = connection;
    connection->hold(shared_from_this());
    if (m_open)
        claimName();
}

void CPDistributedMessagingCenter::stopServer()
{
    if (!m_object)
        return;
    // Releasing the connection's hold may drop the last reference to this centre.
    std::shared_ptr<NSObject> self = shared_from_this();
    if (m_nameClaimed && m_connection->isOpen())
        sd_bus_release_name(m_connection->bus(), m_name.c_str());
    m_nameClaimed = false;
    m_object = sd_bus_slot_unref(m_object);
    m_connection->updateWatch();
    auto connection = std::move(m_connection);
    connection->release(this);
}

void CPDistributedMessagingCenter::openToOtherProcesses()
{
    m_open = true;
    if (m_object && !m_nameClaimed)
        claimName();
}

void CPDistributedMessagingCenter::claimName()
{
    // Queued: a server of an earlier run that has not quite gone yet hands the name over as
    // soon as it goes.
    int r = sd_bus_request_name(m_connection->bus(), m_name.c_str(), SD_BUS_NAME_QUEUE);
    m_connection->updateWatch();
    if (r < 0) {
        NSLog("CPDistributedMessagingCenter: cannot claim the name \"%s\" on the phone's bus: %s", m_name.c_str(), strerror(-r));
        return;
    }
    m_nameClaimed = true;
    if (r == 0)
        NSLog("CPDistributedMessagingCenter: \"%s\" is held by another process; the server takes it over when that one goes", m_name.c_str());
}

void CPDistributedMessagingCenter::registerForMessageName(const std::string& messageName, std::shared_ptr<NSObject> target, Handler handler)
{
    if (!handler)
        return;
    m_registrations[messageName] = Registration { std::move(target), std::move(handler) };
}

bool CPDistributedMessagingCenter::sendMessageName(const std::string& messageName, const PlistDictionary& userInfo)
{
    auto connection = PhoneBusConnection::process();
    if (!connection) {
        NSLog("CPDistributedMessagingCenter: the phone's bus is not running; \"%s\" is not sent to \"%s\"", messageName.c_str(), m_name.c_str());
        return false;
    }
    std::string why;
    bool reachable = nameHasOwner(connection->bus(), m_name, why);
    connection->updateWatch();
    if (!reachable) {
        NSLog("CPDistributedMessagingCenter: no server \"%s\" on the phone's bus (%s); \"%s\" is not sent", m_name.c_str(), why.c_str(),
            messageName.c_str());
        return false;
    }
    Message call;
    int r = sd_bus_message_new_method_call(connection->bus(), &call.message, m_name.c_str(), objectPath(m_name).c_str(), kInterface, kMethod);
    if (r >= 0)
        r = sd_bus_message_set_expect_reply(call.message, 0);
    if (r >= 0)
        r = sd_bus_message_set_auto_start(call.message, 0);
    if (r >= 0)
        r = sd_bus_message_append_basic(call.message, 's', messageName.c_str());
    if (r < 0 || messageName.find('\0') != std::string::npos) {
        NSLog("CPDistributedMessagingCenter: \"%s\" cannot be sent: %s", messageName.c_str(), r < 0 ? strerror(-r) : "the name holds a NUL character");
        return false;
    }
    if (!appendPlistDictionary(call.message, userInfo, &why)) {
        NSLog("CPDistributedMessagingCenter: \"%s\" is not sent: %s", messageName.c_str(), why.c_str());
        return false;
    }
    if (!connection->send(call.message))
        return false;
    connection->flush();
    return true;
}

int CPDistributedMessagingCenter::onMessage(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto* center = static_cast<CPDistributedMessagingCenter*>(userdata);
    // A handler may stop the server and so drop the last reference to the centre.
    std::shared_ptr<NSObject> keep = center->weak_from_this().lock();
    try {
        return center->handleCall(message);
    } catch (const std::exception& error) {
        NSLog("CPDistributedMessagingCenter \"%s\": a message handler threw: %s", center->m_name.c_str(), error.what());
    } catch (...) {
        NSLog("CPDistributedMessagingCenter \"%s\": a message handler threw", center->m_name.c_str());
    }
    return 1;
}

int CPDistributedMessagingCenter::handleCall(sd_bus_message* message)
{
    if (!sd_bus_message_is_method_call(message, nullptr, nullptr))
        return 0;
    const char* interface = sd_bus_message_get_interface(message);
    const char* member = sd_bus_message_get_member(message);
    std::string method = member ? member : "";
    if (interface && !strcmp(interface, kIntrospectable) && method == "Introspect") {
        sd_bus_reply_method_return(message, "s", kMessagingCenterInterfaceXML);
        return 1;
    }
    if ((!interface || !strcmp(interface, kInterface)) && method == kMethod)
        return handleSendMessage(message);
    sd_bus_reply_method_errorf(message, SD_BUS_ERROR_UNKNOWN_METHOD, "%s has no method %s.%s (see its Introspect)", m_name.c_str(),
        interface ? interface : "", method.c_str());
    return 1;
}

int CPDistributedMessagingCenter::handleSendMessage(sd_bus_message* message)
{
    const char* sender = sd_bus_message_get_sender(message);
    std::string from = sender ? sender : "?";
    const char* signature = sd_bus_message_get_signature(message, 1);
    if (!sd_bus_message_has_signature(message, "sa{sv}")) {
        NSLog("CPDistributedMessagingCenter \"%s\": a malformed message from %s is refused: its arguments are (%s), not (sa{sv})",
            m_name.c_str(), from.c_str(), signature ? signature : "");
        sd_bus_reply_method_errorf(message, SD_BUS_ERROR_INVALID_ARGS, "%s takes (s name, a{sv} userInfo), not (%s)", kMethod,
            signature ? signature : "");
        return 1;
    }
    const char* nameText = nullptr;
    std::string why;
    std::optional<PlistDictionary> userInfo;
    if (sd_bus_message_read_basic(message, 's', &nameText) > 0)
        userInfo = readPlistDictionary(message, &why);
    else
        why = "the message name cannot be read";
    if (!userInfo) {
        NSLog("CPDistributedMessagingCenter \"%s\": a malformed message from %s is refused: %s", m_name.c_str(), from.c_str(), why.c_str());
        sd_bus_reply_method_errorf(message, SD_BUS_ERROR_INVALID_ARGS, "%s", why.c_str());
        return 1;
    }
    std::string name = nameText;
    // One-way: the caller learns only that the message was accepted, never what the handler did.
    sd_bus_reply_method_return(message, "");
    auto it = m_registrations.find(name);
    if (it == m_registrations.end()) {
        NSLog("CPDistributedMessagingCenter \"%s\": no handler for the message \"%s\"; ignored", m_name.c_str(), name.c_str());
        return 1;
    }
    // The registration may be replaced or dropped by its own handler.
    Registration registration = it->second;
    registration.handler(name, *userInfo);
    return 1;
}
