#include "platform/session/FeedbackService.h"
#include "platform/session/NotificationBanners.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/phonebus/PhoneBusConnection.h"
#include "platform/session/testsupport/PrivateSession.h"
#include "platform/testsupport/DeviceFixture.h"

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
        m_banners.reset();
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

    std::unique_ptr<PrivateSession> m_session;
    std::shared_ptr<PhoneBusConnection> m_bus;
    std::shared_ptr<FeedbackService> m_feedback;
    std::shared_ptr<NotificationBanners> m_banners;
    std::vector<FeedbackLevel> m_ownerLevels;
    int m_restarts { 0 };
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
    NSRunLoop::main().runUntilCondition([] { return false; }, 0.2);
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

TEST_F(SessionServicesTest, BannersFollowTheOwnerAndOurWritesReachDconf)
{
    m_banners = NotificationBanners::connect([this](bool shown) { m_ownerLevels.push_back(shown ? FeedbackLevel::Full : FeedbackLevel::Silent); });
    ASSERT_TRUE(m_banners->isPresent());
    EXPECT_EQ(m_banners->areShown(), true);

    bool written = false;
    m_banners->setShown(false, [&](bool ok) { written = ok; });
    ASSERT_TRUE(until([&] { return written; }));
    EXPECT_EQ(m_session->run("gsettings get org.gnome.desktop.notifications show-banners"), "false\n");

    m_session->run("gsettings set org.gnome.desktop.notifications show-banners true");
    ASSERT_TRUE(until([&] { return !m_ownerLevels.empty(); }));
    EXPECT_EQ(m_ownerLevels.size(), 1u) << "only the owner's change was reported";
    EXPECT_EQ(m_banners->areShown(), true);
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
