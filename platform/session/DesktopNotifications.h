#pragma once

#include "platform/session/BusCall.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class PhoneBusConnection;

// The phone's alert as a desktop notification (org.freedesktop.Notifications on the session
// bus), one at a time as the phone shows them: its buttons are the notification's actions, keyed
// by their index. The owner's choice comes back as `answered(index)`; a notification closed
// without a choice is no answer, as an alert nobody taps.
class DesktopNotifications : public std::enable_shared_from_this<DesktopNotifications> {
public:
    static std::shared_ptr<DesktopNotifications> connect(std::shared_ptr<PhoneBusConnection> sessionBus,
        std::function<void(int64_t buttonIndex)> answered);

    void show(const std::string& title, const std::string& message, const std::vector<std::string>& buttons);
    // Takes the notification shown away (the alert was answered on the phone).
    void withdraw();
    // Whether a notification server answers on the session bus (asked at the start, followed
    // as servers come and go).
    bool isPresent() const { return m_present; }

    static constexpr const char* kServiceName = "org.freedesktop.Notifications";

private:
    DesktopNotifications(std::shared_ptr<PhoneBusConnection>, std::function<void(int64_t)>);
    void watch();

    std::shared_ptr<PhoneBusConnection> m_bus;
    std::function<void(int64_t)> m_answered;
    // The notification on show; 0 for none (or one whose id has not come back yet).
    uint32_t m_shown { 0 };
    bool m_withdrawWhenShown { false };
    bool m_failureLogged { false };
    bool m_present { false };
    BusCall::Slot m_ownerMatch;
    BusCall::Slot m_actionMatch;
    BusCall::Slot m_closedMatch;
};
