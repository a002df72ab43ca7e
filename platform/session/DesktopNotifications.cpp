#include "platform/session/DesktopNotifications.h"

#include "platform/foundation/NSLog.h"
#include "platform/phonebus/PhoneBusConnection.h"

#include <cstdlib>

namespace {

constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";

std::string signalRule(const char* member)
{
    return std::string("type='signal',path='") + kPath + "',interface='" + kInterface + "',member='" + member + "'";
}

}

std::shared_ptr<DesktopNotifications> DesktopNotifications::connect(std::shared_ptr<PhoneBusConnection> bus,
    std::function<void(int64_t)> answered)
{
    std::shared_ptr<DesktopNotifications> notifications(new DesktopNotifications(std::move(bus), std::move(answered)));
    notifications->watch();
    return notifications;
}

DesktopNotifications::DesktopNotifications(std::shared_ptr<PhoneBusConnection> bus, std::function<void(int64_t)> answered)
    : m_bus(std::move(bus))
    , m_answered(std::move(answered))
{
}

void DesktopNotifications::watch()
{
    std::weak_ptr<DesktopNotifications> weak = weak_from_this();
    m_actionMatch = BusCall::match(*m_bus, signalRule("ActionInvoked"), [weak](sd_bus_message* message) {
        auto self = weak.lock();
        uint32_t id = 0;
        const char* action = nullptr;
        if (!self || sd_bus_message_read(message, "us", &id, &action) < 0 || id == 0 || id != self->m_shown || !action)
            return;
        char* end = nullptr;
        long index = std::strtol(action, &end, 10);
        if (*action == '\0' || *end != '\0' || index < 0)
            return;
        self->m_shown = 0;
        self->m_question.reset();
        if (self->m_answered)
            self->m_answered(index);
    });
    m_ownerMatch = BusCall::match(*m_bus,
        std::string("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='") + kServiceName + "'",
        [weak](sd_bus_message* message) {
            auto self = weak.lock();
            const char *name = nullptr, *from = nullptr, *to = nullptr;
            if (self && sd_bus_message_read(message, "sss", &name, &from, &to) >= 0 && from && to)
                self->serverChanged(*from != '\0', *to != '\0');
        });
    BusCall::call(
        *m_bus, kServiceName, kPath, kInterface, "GetServerInformation", [](sd_bus_message*) { return 0; },
        [weak](sd_bus_message* reply) {
            if (auto self = weak.lock())
                self->m_present = BusCall::errorName(reply).empty();
        });
    m_closedMatch = BusCall::match(*m_bus, signalRule("NotificationClosed"), [weak](sd_bus_message* message) {
        auto self = weak.lock();
        uint32_t id = 0;
        // Dismissed without a choice: no answer, and not shown again.
        if (self && sd_bus_message_read(message, "u", &id) >= 0 && id != 0 && id == self->m_shown) {
            self->m_shown = 0;
            self->m_question.reset();
        }
    });
}

void DesktopNotifications::serverChanged(bool vanished, bool arrived)
{
    m_present = arrived;
    // Its notifications went with it; a new server knows nothing of their ids.
    if (vanished && m_question) {
        m_shown = 0;
        m_lost = true;
    }
    if (arrived && m_lost && m_question) {
        m_lost = false;
        notify(*m_question, 0);
    }
}

void DesktopNotifications::show(const std::string& title, const std::string& message, const std::vector<std::string>& buttons)
{
    m_question = Question { title, message, buttons };
    m_lost = false;
    notify(*m_question, m_shown);
}

void DesktopNotifications::notify(const Question& question, uint32_t replaces)
{
    m_withdrawWhenShown = false;
    const auto& [title, message, buttons] = question;
    std::weak_ptr<DesktopNotifications> weak = weak_from_this();
    BusCall::call(
        *m_bus, kServiceName, kPath, kInterface, "Notify",
        [&](sd_bus_message* call) {
            int r = sd_bus_message_append(call, "susss", "Hushline", replaces, "audio-volume-muted", title.c_str(), message.c_str());
            if (r >= 0)
                r = sd_bus_message_open_container(call, 'a', "s");
            for (size_t index = 0; r >= 0 && index < buttons.size(); ++index)
                r = sd_bus_message_append(call, "ss", std::to_string(index).c_str(), buttons[index].c_str());
            if (r >= 0)
                r = sd_bus_message_close_container(call);
            // The question stays until it is answered, and wakes the screen as the phone's alert does.
            if (r >= 0)
                r = sd_bus_message_append(call, "a{sv}i", 2, "urgency", "y", uint8_t(2), "resident", "b", 1, 0);
            return r;
        },
        [weak](sd_bus_message* reply) {
            auto self = weak.lock();
            if (!self)
                return;
            uint32_t id = 0;
            if (!BusCall::errorName(reply).empty() || sd_bus_message_read(reply, "u", &id) < 0) {
                if (!self->m_failureLogged)
                    NSLog("Session: no notification server shows the phone's questions: %s", BusCall::errorName(reply).c_str());
                self->m_failureLogged = true;
                // The next server to appear shows it.
                self->m_lost = self->m_question.has_value();
                return;
            }
            self->m_shown = id;
            if (self->m_withdrawWhenShown)
                self->withdraw();
        });
}

void DesktopNotifications::withdraw()
{
    m_question.reset();
    m_lost = false;
    if (!m_shown) {
        m_withdrawWhenShown = true;
        return;
    }
    uint32_t id = m_shown;
    m_shown = 0;
    m_withdrawWhenShown = false;
    BusCall::call(
        *m_bus, kServiceName, kPath, kInterface, "CloseNotification", [id](sd_bus_message* call) { return sd_bus_message_append(call, "u", id); },
        [](sd_bus_message*) { });
}
