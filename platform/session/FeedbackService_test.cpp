#include "platform/session/FeedbackService.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/BusCall.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/DeviceFixture.h"

#include <memory>
#include <optional>
#include <vector>

namespace {

// feedbackd and GSettings of a private session, as the owner and the phone change them.
class SessionServicesTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_session = PrivateSession::start(options());
        m_bus = PhoneBusConnection::open(m_session->sessionBusAddress());
    }

    void TearDown() override
    {
        m_feedback.reset();
        if (m_bus)
            m_bus->close();
        m_session.reset();
        DeviceFixture::TearDown();
    }

    virtual PrivateSession::Options options() const { return {}; }

    void connectFeedback()
    {
        m_feedback = FeedbackService::connect(m_bus, {
            .ownerChangedLevel = [this](FeedbackLevel level) { m_ownerLevels.push_back(level); },
            .restarted = [this] { ++m_restarts; },
            .appeared = [this] { ++m_appearances; },
        });
    }

    // feedbackd's level as another client reads it.
    std::string levelAtFeedbackd() const
    {
        return m_session->run("busctl --user get-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile");
    }

    void ownerSetsLevel(const std::string& level) const
    {
        m_session->run("busctl --user set-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile s " + level);
    }

    static bool until(const std::function<bool()>& condition) { return NSRunLoop::main().runUntilCondition(condition, 5.0); }

    // A call to feedbackd on the phone's own connection, answered: feedbackd sent whatever it
    // had to say before (the PropertiesChanged of a write) ahead of the answer, and the phone has
    // handled it by then.
    void roundTripToFeedbackd()
    {
        auto answered = std::make_shared<bool>(false);
        BusCall::call(
            *m_bus, FeedbackService::kServiceName, "/org/sigxcpu/Feedback", "org.freedesktop.DBus.Properties", "Get",
            [](sd_bus_message* call) { return sd_bus_message_append(call, "ss", "org.sigxcpu.Feedback", "Profile"); },
            [answered](sd_bus_message*) { *answered = true; });
        EXPECT_TRUE(until([&] { return *answered; })) << "feedbackd answered";
    }

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<PhoneBusConnection> m_bus;
    std::shared_ptr<FeedbackService> m_feedback;
    std::vector<FeedbackLevel> m_ownerLevels;
    int m_restarts { 0 };
    int m_appearances { 0 };
};

class SessionWithoutFeedbackdTest : public SessionServicesTest {
    PrivateSession::Options options() const override { return { .soundServer = false, .networkManager = false, .feedbackd = false }; }
};

}

TEST_F(SessionServicesTest, TheLevelWrittenIsFeedbackdsAndOnlyTheOwnersChangesAreReported)
{
    connectFeedback();
    ASSERT_TRUE(m_feedback->isPresent());
    EXPECT_EQ(m_feedback->level(), FeedbackLevel::Full);

    bool written = false;
    m_feedback->setLevel(FeedbackLevel::Quiet, [&](bool ok) { written = ok; });
    ASSERT_TRUE(until([&] { return written; }));
    EXPECT_EQ(levelAtFeedbackd(), "s \"quiet\"\n");
    roundTripToFeedbackd();
    EXPECT_TRUE(m_ownerLevels.empty()) << "our own write came back as ours";

    ownerSetsLevel("silent");
    ASSERT_TRUE(until([&] { return !m_ownerLevels.empty(); }));
    EXPECT_EQ(m_ownerLevels, std::vector<FeedbackLevel> { FeedbackLevel::Silent });
    EXPECT_EQ(m_feedback->level(), FeedbackLevel::Silent);

    // The owner's tap lands while our write is still on its way: it is still the owner's.
    m_feedback->setLevel(FeedbackLevel::Quiet);
    ownerSetsLevel("full");
    ASSERT_TRUE(until([&] { return m_ownerLevels.size() == 2; }));
    EXPECT_EQ(m_ownerLevels.back(), FeedbackLevel::Full);
    EXPECT_EQ(levelAtFeedbackd(), "s \"full\"\n");
}

TEST_F(SessionServicesTest, ARestartedFeedbackdIsNoticedByItsNameAndAsked)
{
    connectFeedback();
    m_feedback->setLevel(FeedbackLevel::Silent);
    ASSERT_TRUE(until([&] { return m_feedback->level() == FeedbackLevel::Silent; }));
    m_session->killFeedbackd();
    ASSERT_TRUE(until([&] { return m_restarts == 1; })) << "woken by NameOwnerChanged, then feedbackd is started again by the read";
    EXPECT_TRUE(m_feedback->isPresent());
    EXPECT_TRUE(m_ownerLevels.empty()) << "a restart is no owner's change";
}

TEST_F(SessionWithoutFeedbackdTest, WithoutFeedbackdTheServiceIsAbsentAndSaysSoOnce)
{
    connectFeedback();
    EXPECT_FALSE(m_feedback->isPresent());
    bool answered = false, ok = true;
    m_feedback->setLevel(FeedbackLevel::Silent, [&](bool written) { answered = true; ok = written; });
    m_feedback->vibrate();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(ok);
    EXPECT_EQ(logCount("feedbackd is not on the session bus"), 1u);
}

TEST_F(SessionWithoutFeedbackdTest, FeedbackdStartedAfterTheLinkAppearsWithItsLevelAndIsFollowed)
{
    connectFeedback();
    ASSERT_FALSE(m_feedback->isPresent());

    m_session->startFeedbackd();
    ASSERT_TRUE(until([&] { return m_appearances == 1; })) << "its name appeared";
    EXPECT_TRUE(m_feedback->isPresent());
    EXPECT_EQ(m_feedback->level(), FeedbackLevel::Full);
    EXPECT_EQ(m_restarts, 0);
    EXPECT_TRUE(m_ownerLevels.empty()) << "what it holds is read, not reported as the owner's change";
    EXPECT_EQ(logCount("feedbackd appeared on the session bus"), 1u);

    ownerSetsLevel("quiet");
    ASSERT_TRUE(until([&] { return !m_ownerLevels.empty(); }));
    EXPECT_EQ(m_ownerLevels, std::vector<FeedbackLevel> { FeedbackLevel::Quiet });
    bool written = false;
    m_feedback->setLevel(FeedbackLevel::Silent, [&](bool ok) { written = ok; });
    ASSERT_TRUE(until([&] { return written; }));
    EXPECT_EQ(levelAtFeedbackd(), "s \"silent\"\n");
}

TEST_F(SessionWithoutFeedbackdTest, FeedbackdInstalledAfterTheLinkIsStartedAndAppears)
{
    connectFeedback();
    ASSERT_FALSE(m_feedback->isPresent());

    m_session->installFeedbackd();
    ASSERT_TRUE(until([&] { return m_appearances == 1; })) << "the bus said its services changed; asking started feedbackd";
    EXPECT_TRUE(m_feedback->isPresent());
    EXPECT_EQ(m_feedback->level(), FeedbackLevel::Full);
}

TEST_F(SessionWithoutFeedbackdTest, FeedbackdThatCannotBeStartedAgainIsAbsentUntilItIsBack)
{
    m_session->startFeedbackd();
    connectFeedback();
    ASSERT_TRUE(m_feedback->isPresent());

    m_session->killFeedbackd();
    ASSERT_TRUE(until([&] { return !m_feedback->isPresent(); })) << "no service file: nothing starts it again";
    EXPECT_EQ(logCount("feedbackd has left the session bus"), 1u);
    std::optional<bool> written;
    m_feedback->setLevel(FeedbackLevel::Silent, [&](bool ok) { written = ok; });
    EXPECT_EQ(written, false) << "refused at once while it is away";

    m_session->startFeedbackd();
    ASSERT_TRUE(until([&] { return m_restarts == 1; })) << "back after having answered before: a restart";
    EXPECT_TRUE(m_feedback->isPresent());
    EXPECT_EQ(m_appearances, 0);
    EXPECT_EQ(logCount("feedbackd is back"), 1u);
}
