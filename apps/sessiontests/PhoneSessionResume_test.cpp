#include "apps/sessiontests/LogindFixture.h"
#include "apps/sessiontests/PhoneSessionFixture.h"
#include "apps/springboard/ResumeWatch.h"

#include "apps/common/LocalTime.h"

#include "platform/machinery/SharedClockFile.h"
#include "platform/phonebus/PhoneBusConnection.h"

// A suspend and the wake-up as logind announces them (PrepareForSleep on the system bus).
using namespace PhoneSessionFixtures;

namespace {

class ResumeWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_session = PrivateSession::start({ .soundServer = false, .networkManager = false, .feedbackd = false });
        m_logind.emplace(m_session->systemBusAddress(), m_session->environment(), m_session->dir() / "logind.log");
        m_bus = PhoneBusConnection::open(m_session->systemBusAddress());
        m_watch = ResumeWatch::start(m_bus, [this] { ++m_wakeUps; });
    }
    void TearDown() override
    {
        m_watch.reset();
        m_bus->close();
        m_logind.reset();
        m_session.reset();
    }

    // Every signal the bus had queued for the watch before this call has reached it: the bus
    // answers the watch's own connection after them.
    void reachWatch()
    {
        bool answered = false;
        ASSERT_TRUE(BusCall::call(*m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", nullptr,
            [&answered](sd_bus_message*) { answered = true; }));
        ASSERT_TRUE(NSRunLoop::main().runUntilCondition([&] { return answered; }, 10));
    }

    std::unique_ptr<PrivateSession> m_session;
    std::optional<LogindMock> m_logind;
    std::shared_ptr<PhoneBusConnection> m_bus;
    std::unique_ptr<ResumeWatch> m_watch;
    int m_wakeUps { 0 };
};

class PhoneSessionResumeTest : public PhoneSessionTest {
protected:
    PrivateSession::Options options() const override { return { .soundServer = true, .networkManager = false, .feedbackd = true }; }
    void SetUp() override
    {
        PhoneSessionTest::SetUp();
        m_logind.emplace(m_session->systemBusAddress(), m_session->environment(), m_session->dir() / "logind.log");
    }
    void TearDown() override
    {
        PhoneSessionTest::TearDown();
        m_logind.reset();
    }

    // The machine's clock while it sleeps: the phone's shared clock moves without the phone.
    void clockMovesWhileAsleep(const std::string& to)
    {
        double time = parseLocalTime(to)->timeIntervalSince1970();
        SharedClockFile::openForWriting(m_root, &time);
    }

    std::optional<LogindMock> m_logind;
};

}

TEST_F(ResumeWatchTest, OnlyTheWakeUpIsReportedOnceEach)
{
    m_logind->prepareForSleep(true);
    reachWatch();
    EXPECT_EQ(m_wakeUps, 0) << "going to sleep makes nothing due";

    m_logind->prepareForSleep(false);
    reachWatch();
    EXPECT_EQ(m_wakeUps, 1);

    m_logind->prepareForSleep(true);
    m_logind->prepareForSleep(false);
    reachWatch();
    EXPECT_EQ(m_wakeUps, 2);
}

TEST_F(PhoneSessionResumeTest, AMeetingThatBeganWhileTheMachineSleptAppliesAtTheWakeUp)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked("2026-12-08T08:55:00");
    m_booted = true;
    changeFirstProfile(R"({"dnDEnabled": true, "ringerVolume": 0})");
    ASSERT_FALSE(isApplied());

    m_logind->prepareForSleep(true);
    clockMovesWhileAsleep("2026-12-08T09:10:00");
    EXPECT_EQ(banners(), "true") << "asleep, the phone does nothing";
    m_logind->prepareForSleep(false);

    // Before anyone touches the phone, the meeting is taken up: its end is the next wake-up.
    ASSERT_TRUE(eventually([&] { return homeScreenLogCount("wakeup at: 2026-12-08 10:00:00") == 1; })) << hostOutput();
    EXPECT_EQ(homeScreenLogCount("SpringBoard: the machine woke up; checking what became due while it slept"), 1u) << hostOutput();
    // The steps of applying a profile take a few seconds of the clock.
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(isApplied());
    EXPECT_TRUE(eventually([&] { return banners() == "false" && sinkVolume() == "0 0"; })) << hostOutput();
}
