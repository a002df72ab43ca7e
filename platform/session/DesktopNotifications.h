#pragma once

#include "platform/session/BusCall.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PhoneBusConnection;

// The phone's alert as a desktop notification (org.freedesktop.Notifications on the session
// bus), one at a time as the phone shows them: its buttons are the notification's actions, keyed
// by their index. The owner's choice comes back as `answered(index)`; a notification closed
// without a choice is no answer, as an alert nobody taps.
//
// The server is followed by its name: a question on show when its server goes away (a crash, a
// restart of the shell) went with it, and is shown again by the next server that appears, until
// it is answered or withdrawn.
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
    struct Question {
        std::string title;
        std::string message;
        std::vector<std::string> buttons;
    };

    DesktopNotifications(std::shared_ptr<PhoneBusConnection>, std::function<void(int64_t)>);
    void watch();
    void serverChanged(bool vanished, bool arrived);
    void notify(const Question&, uint32_t replaces);

    std::shared_ptr<PhoneBusConnection> m_bus;
    std::function<void(int64_t)> m_answered;
    // The notification on show; 0 for none (or one whose id has not come back yet).
    uint32_t m_shown { 0 };
    bool m_withdrawWhenShown { false };
    bool m_failureLogged { false };
    bool m_present { false };
    // The question asked and not yet answered, withdrawn or dismissed; lost when its server went
    // away with it on show.
    std::optional<Question> m_question;
    bool m_lost { false };
    BusCall::Slot m_ownerMatch;
    BusCall::Slot m_actionMatch;
    BusCall::Slot m_closedMatch;
};
