#include "platform/session/FeedbackService.h"

#include "platform/foundation/NSLog.h"
#include "platform/machinery/SdBusHandles.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kPath = "/org/sigxcpu/Feedback";
constexpr const char* kInterface = "org.sigxcpu.Feedback";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kApplication = "com.velloq.hushline";
// Vibrates at "quiet" in feedbackd's default theme, and is short.
constexpr const char* kVibrationEvent = "message-new-instant";

// The level a "s" variant (or a PropertiesChanged body) carries.
std::optional<FeedbackLevel> readLevelVariant(sd_bus_message* message)
{
    const char* value = nullptr;
    if (sd_bus_message_read(message, "v", "s", &value) < 0 || !value)
        return std::nullopt;
    return parseFeedbackLevel(value);
}

std::optional<FeedbackLevel> levelInPropertiesChanged(sd_bus_message* message)
{
    const char* interface = nullptr;
    if (sd_bus_message_read(message, "s", &interface) < 0 || std::strcmp(interface, kInterface) != 0)
        return std::nullopt;
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
        return std::nullopt;
    std::optional<FeedbackLevel> level;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        sd_bus_message_read(message, "s", &name);
        if (name && std::strcmp(name, "Profile") == 0)
            level = readLevelVariant(message);
        else
            sd_bus_message_skip(message, "v");
        sd_bus_message_exit_container(message);
    }
    return level;
}

}

std::shared_ptr<FeedbackService> FeedbackService::connect(std::shared_ptr<PhoneBusConnection> sessionBus, Handlers handlers)
{
    std::shared_ptr<FeedbackService> service(new FeedbackService(std::move(sessionBus), std::move(handlers)));
    service->watch();
    service->m_answeredBefore = service->readLevelNow();
    service->m_level.setPresent(service->m_answeredBefore);
    if (!service->isPresent())
        NSLog("Session: feedbackd is not on the session bus; the ringer and vibration stay the phone's own until it appears");
    return service;
}

FeedbackService::FeedbackService(std::shared_ptr<PhoneBusConnection> bus, Handlers handlers)
    : m_bus(std::move(bus))
    , m_handlers(std::move(handlers))
{
}

FeedbackService::~FeedbackService() = default;

bool FeedbackService::readLevelNow()
{
    SdBusError error;
    char* value = nullptr;
    int r = sd_bus_get_property_string(m_bus->bus(), kServiceName, kPath, kInterface, "Profile", &error.error, &value);
    m_bus->updateWatch();
    if (r < 0)
        return false;
    m_level.read(parseFeedbackLevel(value));
    std::free(value);
    return true;
}

void FeedbackService::readLevel(std::function<void(bool, std::optional<FeedbackLevel>)> done)
{
    bool sent = BusCall::call(
        *m_bus, kServiceName, kPath, kProperties, "Get",
        [](sd_bus_message* call) { return sd_bus_message_append(call, "ss", kInterface, "Profile"); },
        [done](sd_bus_message* reply) {
            bool reached = BusCall::errorName(reply).empty();
            done(reached, reached ? readLevelVariant(reply) : std::nullopt);
        });
    if (!sent)
        done(false, std::nullopt);
}

void FeedbackService::watch()
{
    std::weak_ptr<FeedbackService> weak = weak_from_this();
    std::string changed = std::string("type='signal',sender='") + kServiceName + "',path='" + kPath + "',interface='" + kProperties
        + "',member='PropertiesChanged'";
    m_changedMatch = BusCall::match(*m_bus, changed, [weak](sd_bus_message* message) {
        auto self = weak.lock();
        if (!self)
            return;
        if (auto level = levelInPropertiesChanged(message))
            self->levelArrived(*level);
    });
    std::string bus = "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',";
    m_ownerMatch = BusCall::match(*m_bus, bus + "member='NameOwnerChanged',arg0='" + kServiceName + "'", [weak](sd_bus_message* message) {
        auto self = weak.lock();
        const char *name = nullptr, *from = nullptr, *to = nullptr;
        if (self && sd_bus_message_read(message, "sss", &name, &from, &to) >= 0 && to)
            self->nameChanged(*to != '\0');
    });
    // A service file installed or removed: while feedbackd is absent, the bus may now start it.
    m_activatableMatch = BusCall::match(*m_bus, bus + "member='ActivatableServicesChanged'", [weak](sd_bus_message*) {
        auto self = weak.lock();
        if (self && !self->isPresent() && !self->m_asking)
            self->ask();
    });
}

void FeedbackService::nameChanged(bool owned)
{
    // Gone: none of our writes will be told back; their writers hear they did not land.
    if (!owned)
        m_level.forgetWrites();
    // Nothing to learn: there and still owned (our own read started it), or absent and gone.
    if (!m_asking && owned == isPresent())
        return;
    // Gone: asking starts it again; appeared: it answers. What it holds then is what counts.
    ask();
}

void FeedbackService::ask()
{
    uint64_t ask = m_asking = ++m_asks;
    std::weak_ptr<FeedbackService> weak = weak_from_this();
    readLevel([weak, ask](bool reached, std::optional<FeedbackLevel> level) {
        auto self = weak.lock();
        if (self && self->m_asking == ask)
            self->answered(reached, level);
    });
}

void FeedbackService::answered(bool reached, std::optional<FeedbackLevel> level)
{
    m_asking = 0;
    bool wasPresent = isPresent();
    m_level.setPresent(reached);
    if (!reached) {
        if (wasPresent)
            NSLog("Session: feedbackd has left the session bus and cannot be started; the ringer and vibration stay the phone's own "
                  "until it is back");
        return;
    }
    m_level.read(level);
    bool firstTime = !m_answeredBefore;
    m_answeredBefore = true;
    if (!wasPresent)
        NSLog("Session: feedbackd %s", firstTime ? "appeared on the session bus" : "is back");
    auto& handler = firstTime ? m_handlers.appeared : m_handlers.restarted;
    if (handler)
        handler();
}

void FeedbackService::levelArrived(FeedbackLevel level)
{
    if (m_level.arrived(level) && m_handlers.ownerChangedLevel)
        m_handlers.ownerChangedLevel(level);
}

void FeedbackService::setLevel(FeedbackLevel level, std::function<void(bool)> done)
{
    auto write = m_level.beginWrite(level, std::move(done));
    if (!write)
        return;
    std::weak_ptr<FeedbackService> weak = weak_from_this();
    bool sent = BusCall::call(
        *m_bus, kServiceName, kPath, kProperties, "Set",
        [level](sd_bus_message* call) { return sd_bus_message_append(call, "ssv", kInterface, "Profile", "s", feedbackLevelName(level)); },
        [weak, write, level](sd_bus_message* reply) {
            if (auto self = weak.lock())
                self->levelWritten(write, level, BusCall::errorName(reply));
        });
    if (!sent)
        m_level.refused(write);
}

// feedbackd took the write: a read gives it back, unless its PropertiesChanged already did. A
// write still pending after the read was overtaken by the owner's level (or feedbackd is gone).
void FeedbackService::levelWritten(RemoteValue<FeedbackLevel>::Write write, FeedbackLevel level, const std::string& error)
{
    if (!error.empty()) {
        NSLog("Session: feedbackd refused the level %s: %s", feedbackLevelName(level), error.c_str());
        m_level.refused(write);
        return;
    }
    std::weak_ptr<FeedbackService> weak = weak_from_this();
    readLevel([weak, write](bool, std::optional<FeedbackLevel> read) {
        auto self = weak.lock();
        if (!self)
            return;
        if (read)
            self->levelArrived(*read);
        self->m_level.finish(write, false);
    });
}

void FeedbackService::vibrate()
{
    if (!isPresent())
        return;
    BusCall::call(
        *m_bus, kServiceName, kPath, kInterface, "TriggerFeedback",
        [](sd_bus_message* call) {
            int r = sd_bus_message_append(call, "ss", kApplication, kVibrationEvent);
            if (r >= 0)
                r = sd_bus_message_open_container(call, 'a', "{sv}");
            if (r >= 0)
                r = sd_bus_message_close_container(call);
            if (r >= 0)
                r = sd_bus_message_append(call, "i", -1);
            return r;
        },
        [](sd_bus_message* reply) {
            if (!BusCall::errorName(reply).empty())
                NSLog("Session: feedbackd did not vibrate: %s", BusCall::errorName(reply).c_str());
        });
}
