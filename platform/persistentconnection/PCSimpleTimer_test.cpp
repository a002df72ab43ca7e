#include "platform/persistentconnection/PCSimpleTimer.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"
#include "platform/testsupport/DeviceFixture.h"

#include <cstdlib>

namespace {

class Target : public NSObject {
public:
    void fired(const std::shared_ptr<PCSimpleTimer>& timer)
    {
        firedAt.push_back(NSDate::date());
        lastInfo = timer->userInfo();
    }
    std::vector<NSDate> firedAt;
    PlistDictionary lastInfo;
};

class PCSimpleTimerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        NSRunLoop::main().reset();
    }

    std::shared_ptr<PCSimpleTimer> timerAt(NSDate date, const std::shared_ptr<Target>& target, const char* service = "com.velloq.hushline")
    {
        return PCSimpleTimer::initWithFireDate(date, service, target, "fired:", PCSimpleTimer::action(&Target::fired),
            { { "ProfileIdentifier", 42 } });
    }
};

}

TEST_F(PCSimpleTimerTest, FiresOnceAtExactlyItsDateWithItsUserInfo)
{
    auto target = std::make_shared<Target>();
    NSDate at = NSDate::dateWithTimeIntervalSinceNow(3600);
    auto timer = timerAt(at, target);
    timer->scheduleInRunLoop(NSRunLoop::main());
    NSRunLoop::main().advanceBy(3599.5);
    EXPECT_TRUE(target->firedAt.empty());
    NSRunLoop::main().advanceBy(7200);
    ASSERT_EQ(target->firedAt.size(), 1u);
    EXPECT_EQ(target->firedAt[0], at);
    EXPECT_EQ(*target->lastInfo["ProfileIdentifier"].asInteger(), 42);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(PCSimpleTimerTest, TimersFireInDateOrderAndInvalidatedOnesNever)
{
    auto target = std::make_shared<Target>();
    auto late = timerAt(NSDate::dateWithTimeIntervalSinceNow(20), target);
    auto early = timerAt(NSDate::dateWithTimeIntervalSinceNow(10), target);
    auto dropped = timerAt(NSDate::dateWithTimeIntervalSinceNow(15), target);
    for (auto& t : { late, early, dropped })
        t->scheduleInRunLoop(NSRunLoop::main());
    dropped->invalidate();
    EXPECT_EQ(WakeUpTimerQueue::shared().pendingCount(), 2u);
    NSRunLoop::main().advanceBy(30);
    ASSERT_EQ(target->firedAt.size(), 2u);
    EXPECT_LT(target->firedAt[0], target->firedAt[1]);
    EXPECT_EQ(WakeUpTimerQueue::shared().pendingCount(), 0u);
}

TEST_F(PCSimpleTimerTest, ATimerKeepsItsTargetUntilItFires)
{
    std::weak_ptr<Target> watch;
    {
        auto target = std::make_shared<Target>();
        watch = target;
        timerAt(NSDate::dateWithTimeIntervalSinceNow(5), target)->scheduleInRunLoop(NSRunLoop::main());
    }
    EXPECT_FALSE(watch.expired());
    NSRunLoop::main().advanceBy(5);
    EXPECT_TRUE(watch.expired());
}

TEST_F(PCSimpleTimerTest, AClockJumpedOverTheDateFiresTheTimerOnTheNextTurn)
{
    auto target = std::make_shared<Target>();
    timerAt(NSDate::dateWithTimeIntervalSinceNow(600), target)->scheduleInRunLoop(NSRunLoop::main());
    m_clock->advance(3600);
    NSRunLoop::main().runPending();
    EXPECT_EQ(target->firedAt.size(), 1u);
}

TEST_F(PCSimpleTimerTest, AbsoluteTimeCountsFrom2001)
{
    auto target = std::make_shared<Target>();
    auto timer = PCSimpleTimer::initWithAbsoluteTime(800000000.0, "com.apple.mobiletimer", target, "fired:",
        PCSimpleTimer::action(&Target::fired), {}, true);
    EXPECT_EQ(timer->fireDate().timeIntervalSince1970(), 1778307200.0);
    EXPECT_EQ(timer->loggingIdentifier(), "com.apple.mobiletimer");
    EXPECT_TRUE(timer->triggersOnGMTChange());
}

TEST_F(PCSimpleTimerTest, LoggingIdentifierAnswersFromVersionNine)
{
    writeSystemVersion("8.4");
    EXPECT_FALSE(PCSimpleTimer::respondsToLoggingIdentifier());
    writeSystemVersion("9.0");
    EXPECT_TRUE(PCSimpleTimer::respondsToLoggingIdentifier());
}

// On the system clock a timer is a timerfd served by the run loop: it fires in real time
// without polling, and the alarm clock falls back to the wall clock with one warning.
TEST_F(PCSimpleTimerTest, OnTheSystemClockATimerfdFiresTheTimer)
{
    Clock::installSystem();
    auto target = std::make_shared<Target>();
    timerAt(NSDate::dateWithTimeIntervalSinceNow(0.15), target)->scheduleInRunLoop(NSRunLoop::main());
    timerAt(NSDate::dateWithTimeIntervalSinceNow(0.05), target)->scheduleInRunLoop(NSRunLoop::main());
    EXPECT_TRUE(NSRunLoop::main().runUntilCondition([&] { return target->firedAt.size() == 2; }, 5.0));
    EXPECT_LE(target->firedAt[0], target->firedAt[1]);
    if (!WakeUpTimerQueue::shared().usesAlarmClock()) {
        EXPECT_EQ(logCount("Warning: wake-up timers use CLOCK_REALTIME instead of CLOCK_REALTIME_ALARM"), 1u);
    }
    if (std::getenv("HUSHLINE_EXPECT_NO_WAKE_ALARM")) {
        EXPECT_FALSE(WakeUpTimerQueue::shared().usesAlarmClock());
        EXPECT_EQ(logCount("CLOCK_REALTIME_ALARM"), 1u);
    }
}
