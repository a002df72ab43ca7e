#include "apps/springboard/MidnightWatch.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/testsupport/DeviceFixture.h"

namespace {

class MidnightWatchTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
        m_watch = std::make_unique<MidnightWatch>([this] { midnights.push_back(NSDate::date().timeIntervalSince1970()); });
        m_watch->start();
    }
    void TearDown() override
    {
        m_watch.reset();
        DeviceFixture::TearDown();
    }

    std::vector<NSTimeInterval> midnights;
    std::unique_ptr<MidnightWatch> m_watch;
};

}

TEST_F(MidnightWatchTest, EveryLocalMidnightIsPassedAtItsMoment)
{
    NSRunLoop::main().runUntil(NSDate(localTime("2026-12-10T12:00:00")));
    EXPECT_EQ(midnights, (std::vector<NSTimeInterval> { localTime("2026-12-09T00:00:00"), localTime("2026-12-10T00:00:00") }));
}

TEST_F(MidnightWatchTest, SettingTheClockToAnotherDayCountsAsMidnightEitherWay)
{
    m_clock->set(localTime("2026-12-08T23:00:00"));
    m_watch->clockWasSet();
    EXPECT_TRUE(midnights.empty());

    m_clock->set(localTime("2026-12-11T07:00:00"));
    m_watch->clockWasSet();
    ASSERT_EQ(midnights.size(), 1u);
    // The midnight armed for the old day is stale; only the new day's counts.
    NSRunLoop::main().runPending();
    EXPECT_EQ(midnights.size(), 1u);

    m_clock->set(localTime("2026-12-10T22:00:00"));
    m_watch->clockWasSet();
    EXPECT_EQ(midnights.size(), 2u);
    NSRunLoop::main().runUntil(NSDate(localTime("2026-12-11T01:00:00")));
    EXPECT_EQ(midnights.size(), 3u);
    EXPECT_EQ(midnights.back(), localTime("2026-12-11T00:00:00"));
}

TEST_F(MidnightWatchTest, ADaylightSavingDayHasItsRealMidnight)
{
    EXPECT_EQ(MidnightWatch::nextMidnight(NSDate(localTime("2027-03-28T12:00:00"))).timeIntervalSince1970(), localTime("2027-03-29T00:00:00"));
    EXPECT_EQ(MidnightWatch::nextMidnight(NSDate(localTime("2027-03-27T23:59:59"))).timeIntervalSince1970() - localTime("2027-03-27T23:59:59"), 1);
}
