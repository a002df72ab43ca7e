#include "apps/phonectl/ControlClient.h"

#include "platform/machinery/SdBusHandles.h"
#include "platform/appsupport/PlistBusMessage.h"
#include "platform/device/PhoneControl.h"
#include "platform/machinery/PhoneBus.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <cstring>
#include <systemd/sd-bus.h>

namespace {

// The host answers at once, except for moving the clock, which runs every timer on the way.
constexpr uint64_t kCallTimeoutMicroseconds = 300ull * 1000 * 1000;

using BusError = SdBusError;
using Message = SdBusMessage;

}

ControlClient::ControlClient(const std::filesystem::path& root)
    : m_root(root)
{
    auto address = PhoneBus::runningAddress(root);
    if (!address)
        throw PhonectlError("the phone at " + root.string() + " is not booted (phonectl boot)");
    try {
        m_connection = PhoneBusConnection::open(*address);
    } catch (const std::exception& error) {
        throw PhonectlError("the phone at " + root.string() + " is not booted: " + error.what());
    }
}

PlistDictionary ControlClient::call(const char* method, const Appender& arguments)
{
    Message call;
    int r = sd_bus_message_new_method_call(m_connection->bus(), &call.message, PhoneControl::kServiceName, PhoneControl::kObjectPath,
        PhoneControl::kInterface, method);
    if (r >= 0)
        r = sd_bus_message_set_auto_start(call.message, 0);
    if (r >= 0 && arguments)
        r = arguments(call.message);
    if (r < 0)
        throw PhonectlError(std::string("cannot build the call ") + method + ": " + strerror(-r));
    BusError error;
    Message reply;
    r = sd_bus_call(m_connection->bus(), call.message, kCallTimeoutMicroseconds, &error.error, &reply.message);
    m_connection->updateWatch();
    if (r < 0) {
        if (error.error.name && (!strcmp(error.error.name, SD_BUS_ERROR_SERVICE_UNKNOWN) || !strcmp(error.error.name, SD_BUS_ERROR_NAME_HAS_NO_OWNER)))
            throw PhonectlError("the phone at " + m_root.string() + " has no home screen running (it may be restarting; try again)");
        throw PhonectlError(error.error.message ? error.error.message : strerror(-r));
    }
    std::string why;
    auto result = readPlistDictionary(reply.message, &why);
    if (!result)
        throw PhonectlError(std::string("the phone's answer to ") + method + " cannot be read: " + why);
    return *result;
}

PlistDictionary ControlClient::state()
{
    return call("State", nullptr);
}

PlistDictionary ControlClient::changes(int64_t since)
{
    return call("Changes", [since](sd_bus_message* m) { return sd_bus_message_append(m, "x", since); });
}

PlistDictionary ControlClient::setClock(double time)
{
    return call("SetClock", [time](sd_bus_message* m) { return sd_bus_message_append(m, "d", time); });
}

PlistDictionary ControlClient::advanceClock(double seconds)
{
    return call("AdvanceClock", [seconds](sd_bus_message* m) { return sd_bus_message_append(m, "d", seconds); });
}

void ControlClient::setLocked(bool locked)
{
    call("SetLocked", [locked](sd_bus_message* m) { return sd_bus_message_append(m, "b", static_cast<int>(locked)); });
}

PlistDictionary ControlClient::pressVolumeButton(const std::string& button)
{
    return call("PressVolumeButton", [&button](sd_bus_message* m) { return sd_bus_message_append(m, "s", button.c_str()); });
}

PlistDictionary ControlClient::setDoNotDisturb(bool enabled)
{
    return call("SetDoNotDisturb", [enabled](sd_bus_message* m) { return sd_bus_message_append(m, "b", static_cast<int>(enabled)); });
}

PlistDictionary ControlClient::setVibrate(const std::string& mode, bool enabled)
{
    return call("SetVibrate", [&mode, enabled](sd_bus_message* m) { return sd_bus_message_append(m, "sb", mode.c_str(), static_cast<int>(enabled)); });
}

PlistDictionary ControlClient::setRingerVolume(double volume)
{
    return call("SetRingerVolume", [volume](sd_bus_message* m) { return sd_bus_message_append(m, "d", volume); });
}

void ControlClient::answerAlert(int64_t index)
{
    call("AnswerAlert", [index](sd_bus_message* m) { return sd_bus_message_append(m, "x", index); });
}

std::string ControlClient::addAlarm(const std::string& title, int hour, int minute, bool active)
{
    auto result = call("AddAlarm", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "siib", title.c_str(), static_cast<int32_t>(hour), static_cast<int32_t>(minute), static_cast<int>(active));
    });
    const PlistValue answer(result);
    const std::string* alarmId = answer["alarmId"].asString();
    return alarmId ? *alarmId : "";
}

void ControlClient::removeAlarm(const std::string& alarmId)
{
    call("RemoveAlarm", [&alarmId](sd_bus_message* m) { return sd_bus_message_append(m, "s", alarmId.c_str()); });
}

void ControlClient::setAlarmActive(const std::string& alarmId, bool active)
{
    call("SetAlarmActive", [&](sd_bus_message* m) { return sd_bus_message_append(m, "sb", alarmId.c_str(), static_cast<int>(active)); });
}

void ControlClient::watchChanges(std::function<void(const PlistDictionary&)> handler)
{
    m_changeHandler = std::move(handler);
    std::string rule = std::string("type='signal',path='") + PhoneControl::kObjectPath + "',interface='" + PhoneControl::kInterface
        + "',member='Changed'";
    int r = sd_bus_add_match(
        m_connection->bus(), nullptr, rule.c_str(),
        [](sd_bus_message* message, void* userdata, sd_bus_error*) {
            auto* client = static_cast<ControlClient*>(userdata);
            std::string why;
            if (auto change = readPlistDictionary(message, &why); change && client->m_changeHandler)
                client->m_changeHandler(*change);
            return 0;
        },
        this);
    m_connection->updateWatch();
    if (r < 0)
        throw PhonectlError(std::string("cannot watch the phone's changes: ") + strerror(-r));
}
