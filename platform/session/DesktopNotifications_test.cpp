#include "platform/session/DesktopNotifications.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/machinery/ChildProcess.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/DeviceFixture.h"

#include <vector>

namespace {

// A notification server on the session bus: python3-dbusmock's template, which records every call
// and numbers notifications from 1, as a freshly started server does.
class NotificationServer {
public:
    explicit NotificationServer(const PrivateSession& session)
        : m_session(session)
    {
        ChildOptions child;
        child.argv = { "/usr/bin/python3", "-m", "dbusmock", "--template", "notification_daemon" };
        child.log = session.dir() / "notification-server.log";
        m_pid = startChild(child);
        session.run("gdbus wait --session --timeout 10 " + std::string(DesktopNotifications::kServiceName));
    }
    ~NotificationServer() { endProcess(m_pid, 5000); }
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    // How many notifications with this text it was asked to show.
    size_t shown(const std::string& text) const
    {
        std::string calls = m_session.run("busctl --user call org.freedesktop.Notifications /org/freedesktop/Notifications "
                                          "org.freedesktop.DBus.Mock GetCalls");
        size_t count = 0;
        for (size_t at = calls.find(text); at != std::string::npos; at = calls.find(text, at + 1))
            ++count;
        return count;
    }
    void emit(const std::string& signal, const std::string& signatureAndArguments) const
    {
        m_session.run("busctl --user call org.freedesktop.Notifications /org/freedesktop/Notifications org.freedesktop.DBus.Mock EmitSignal "
                      "sssav org.freedesktop.Notifications "
            + signal + " " + signatureAndArguments);
    }

private:
    const PrivateSession& m_session;
    pid_t m_pid { -1 };
};

class DesktopNotificationsTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_session = PrivateSession::start({ .soundServer = false, .networkManager = false, .feedbackd = false });
        m_bus = PhoneBusConnection::open(m_session->sessionBusAddress());
    }

    void TearDown() override
    {
        m_notifications.reset();
        if (m_bus)
            m_bus->close();
        m_session.reset();
        DeviceFixture::TearDown();
    }

    void connect()
    {
        m_notifications = DesktopNotifications::connect(m_bus, [this](int64_t index) { m_answers.push_back(index); });
    }

    void ask(const std::string& message) { m_notifications->show("Ringer", message, { "No", "Yes" }); }

    static bool until(const std::function<bool()>& condition) { return NSRunLoop::main().runUntilCondition(condition, 10.0); }

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<PhoneBusConnection> m_bus;
    std::shared_ptr<DesktopNotifications> m_notifications;
    std::vector<int64_t> m_answers;
};

}

TEST_F(DesktopNotificationsTest, AnOpenQuestionIsShownByEveryServerThatAppearsUntilItIsAnswered)
{
    connect();
    ask("Keep the ringer?");
    ASSERT_TRUE(until([&] { return logCount("no notification server shows the phone's questions") == 1; }));
    EXPECT_FALSE(m_notifications->isPresent());

    auto first = std::make_unique<NotificationServer>(*m_session);
    ASSERT_TRUE(until([&] { return first->shown("Keep the ringer?") == 1; })) << "a server that appears after the start shows it";
    EXPECT_TRUE(m_notifications->isPresent());

    first.reset();
    ASSERT_TRUE(until([&] { return !m_notifications->isPresent(); }));
    NotificationServer second(*m_session);
    ASSERT_TRUE(until([&] { return second.shown("Keep the ringer?") == 1; })) << "the question went with the crashed server";

    second.emit("ActionInvoked", "us 2 u 1 s 1");
    ASSERT_TRUE(until([&] { return !m_answers.empty(); }));
    EXPECT_EQ(m_answers, std::vector<int64_t> { 1 });
}

TEST_F(DesktopNotificationsTest, AQuestionDismissedOrWithdrawnIsNotShownAgain)
{
    for (bool dismissed : { true, false }) {
        SCOPED_TRACE(dismissed ? "dismissed by the owner" : "withdrawn by the phone");
        auto first = std::make_unique<NotificationServer>(*m_session);
        connect();
        ask("Keep the ringer?");
        ASSERT_TRUE(until([&] { return first->shown("Keep the ringer?") == 1; }));
        if (dismissed)
            first->emit("NotificationClosed", "uu 2 u 1 u 2");
        else
            m_notifications->withdraw();
        // The bus tells of the server's end after every signal it sent.
        first.reset();
        ASSERT_TRUE(until([&] { return !m_notifications->isPresent(); }));
        NotificationServer second(*m_session);
        ASSERT_TRUE(until([&] { return m_notifications->isPresent(); }));
        // Sent after whatever the server's arrival made us send (one connection keeps its order).
        ask("Marker");
        ASSERT_TRUE(until([&] { return second.shown("Marker") == 1; }));
        EXPECT_EQ(second.shown("Keep the ringer?"), 0u);
        m_notifications->withdraw();
        EXPECT_TRUE(m_answers.empty());
    }
}
