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
    service->m_present = service->readLevelNow();
    if (!service->m_present)
        NSLog("Session: feedbackd is not on the session bus; the ringer and vibration stay the phone's own");
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

void FeedbackService::readLevel(std::function<void(std::optional<FeedbackLevel>)> done)
{
    BusCall::call(
        *m_bus, kServiceName, kPath, kProperties, "Get",
        [](sd_bus_message* call) { return sd_bus_message_append(call, "ss", kInterface, "Profile"); },
        [done = std::move(done)](sd_bus_message* reply) {
            done(BusCall::errorName(reply).empty() ? readLevelVariant(reply) : std::nullopt);
        });
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
    std::string owner = std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='")
        + kServiceName + "'";
    m_ownerMatch = BusCall::match(*m_bus, owner, [weak](sd_bus_message* message) {
        auto self = weak.lock();
        const char *name = nullptr, *from = nullptr, *to = nullptr;
        if (!self || sd_bus_message_read(message, "sss", &name, &from, &to) < 0 || !to || *to)
            return;
        // Gone: ask again, which starts it again; what it holds then is what the phone must fix.
        self->m_level.forgetWrites();
        self->readLevel([weak](std::optional<FeedbackLevel> level) {
            auto self = weak.lock();
            if (!self || !level)
                return;
            if (!self->m_present)
                NSLog("Session: feedbackd is back");
            self->m_present = true;
            self->m_level.read(level);
            if (self->m_handlers.restarted)
                self->m_handlers.restarted();
        });
    });
}

void FeedbackService::levelArrived(FeedbackLevel level)
{
    if (m_level.arrived(level) && m_handlers.ownerChangedLevel)
        m_handlers.ownerChangedLevel(level);
}

void FeedbackService::setLevel(FeedbackLevel level, std::function<void(bool)> done)
{
    if (!m_level.beginWrite(level, m_present, done))
        return;
    std::weak_ptr<FeedbackService> weak = weak_from_this();
    bool sent = BusCall::call(
        *m_bus, kServiceName, kPath, kProperties, "Set",
        [level](sd_bus_message* call) { return sd_bus_message_append(call, "ssv", kInterface, "Profile", "s", feedbackLevelName(level)); },
        [weak, level, done](sd_bus_message* reply) {
            auto self = weak.lock();
            if (!self)
                return;
            if (!BusCall::errorName(reply).empty()) {
                self->m_level.refused(level);
                NSLog("Session: feedbackd refused the level %s: %s", feedbackLevelName(level), BusCall::errorName(reply).c_str());
                if (done)
                    done(false);
                return;
            }
            self->readLevel([weak, level, done](std::optional<FeedbackLevel> read) {
                if (auto self = weak.lock(); self && read)
                    self->levelArrived(*read);
                if (done)
                    done(read == level);
            });
        });
    if (!sent && done)
        done(false);
}

void FeedbackService::vibrate()
{
    if (!m_present)
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
