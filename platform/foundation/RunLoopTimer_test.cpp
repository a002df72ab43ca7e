#include "platform/foundation/RunLoopTimer.h"

#include "platform/foundation/Clock.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <cerrno>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

class RunLoopTimerTest : public RunLoopFixture {
protected:
    // A handler that notes the event and the second (since the test began) it came at.
    RunLoopTimer::Handler recorder(const std::string& name)
    {
        return [this, name](TimerEvent event) {
            std::string what = event == TimerEvent::Fired ? "" : "(clock changed)";
            m_events.push_back(name + what + "@" + std::to_string(static_cast<int>(Clock::process().now() - m_start)));
        };
    }

    NSRunLoop& loop() { return NSRunLoop::main(); }

    std::vector<std::string> m_events;
};

}

TEST_F(RunLoopTimerTest, OnTheVirtualClockTimersFireAtTheirTimesInOrder)
{
    RunLoopTimer late(TimerClock::RealTime, recorder("late"));
    RunLoopTimer early(TimerClock::RealTimeAlarm, recorder("early"));
    RunLoopTimer moved(TimerClock::RealTime, recorder("moved"));
    late.armAt(m_start + 300);
    early.armAt(m_start + 60);
    moved.armAt(m_start + 30);
    moved.armAt(m_start + 120);
    EXPECT_EQ(moved.armedAt(), m_start + 120);
    EXPECT_FALSE(moved.kernelClock()) << "no timerfd on the virtual clock";

    loop().advanceBy(200);
    EXPECT_EQ(m_events, (std::vector<std::string> { "early@60", "moved@120" })) << "the earlier arming of a re-armed timer is dropped";
    EXPECT_FALSE(early.isArmed());
    EXPECT_TRUE(late.isArmed());
    loop().advanceBy(200);
    EXPECT_EQ(m_events.back(), "late@300");
    EXPECT_EQ(m_events.size(), 3u);
}

TEST_F(RunLoopTimerTest, DisarmedAndDestroyedTimersDoNotFire)
{
    RunLoopTimer disarmed(TimerClock::RealTime, recorder("disarmed"));
    auto destroyed = std::make_unique<RunLoopTimer>(TimerClock::RealTime, recorder("destroyed"));
    disarmed.armAt(m_start + 10);
    destroyed->armAt(m_start + 10);
    disarmed.disarm();
    destroyed.reset();
    loop().advanceBy(60);
    EXPECT_TRUE(m_events.empty());
    EXPECT_FALSE(disarmed.isArmed());
}

TEST_F(RunLoopTimerTest, AHandlerMayRearmOrDestroyItsOwnTimer)
{
    // Re-armed from its handler: a timer every ten seconds, three times.
    int ticks = 0;
    RunLoopTimer repeating(TimerClock::RealTime, [&](TimerEvent) {
        if (++ticks < 3)
            repeating.armAfter(10);
    });
    repeating.armAfter(10);
    std::unique_ptr<RunLoopTimer> once;
    once = std::make_unique<RunLoopTimer>(TimerClock::RealTime, [&](TimerEvent) {
        m_events.push_back("once");
        once.reset();
    });
    once->armAt(m_start + 5);
    loop().advanceBy(100);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(m_events, (std::vector<std::string> { "once" }));
    EXPECT_FALSE(once);
}

TEST_F(RunLoopTimerTest, ATimeInThePastFiresOnTheNextTurn)
{
    RunLoopTimer timer(TimerClock::RealTime, recorder("past"));
    timer.armAt(m_start - 3600);
    EXPECT_TRUE(m_events.empty());
    loop().runPending();
    EXPECT_EQ(m_events, (std::vector<std::string> { "past@0" }));
}

// Monotonic time is real time even when the process clock is virtual: advancing the virtual
// clock does not fire it, a short real wait does.
TEST_F(RunLoopTimerTest, MonotonicTimersRunInRealTimeOnAnyProcessClock)
{
    bool fired = false;
    RunLoopTimer timer(TimerClock::Monotonic, [&](TimerEvent event) { fired = event == TimerEvent::Fired; });
    double armed = RunLoopTimer::now(TimerClock::Monotonic);
    ASSERT_TRUE(timer.armAt(armed + 0.05));
    EXPECT_EQ(timer.kernelClock(), TimerClock::Monotonic);
    loop().advanceBy(86400);
    EXPECT_TRUE(!fired || RunLoopTimer::now(TimerClock::Monotonic) >= armed + 0.05);
    EXPECT_TRUE(loop().runUntilCondition([&] { return fired; }, 5.0));
    EXPECT_GE(RunLoopTimer::now(TimerClock::Monotonic), armed + 0.05);
    EXPECT_FALSE(timer.isArmed());
}

TEST_F(RunLoopTimerTest, OnTheSystemClockATimerfdFiresAtItsTimeAndCanBeMovedOrDisarmed)
{
    Clock::installSystem();
    std::vector<std::string> order;
    RunLoopTimer first(TimerClock::RealTime, [&](TimerEvent) { order.push_back("first"); });
    RunLoopTimer second(TimerClock::RealTime, [&](TimerEvent) { order.push_back("second"); });
    RunLoopTimer disarmed(TimerClock::RealTime, [&](TimerEvent) { order.push_back("disarmed"); });
    double now = RunLoopTimer::now(TimerClock::RealTime);
    ASSERT_TRUE(second.armAt(now + 0.02));
    ASSERT_TRUE(first.armAt(now + 0.3));
    ASSERT_TRUE(disarmed.armAt(now + 0.01));
    disarmed.disarm();
    ASSERT_TRUE(first.armAt(now + 0.01)) << "moved ahead of the other";
    EXPECT_EQ(first.kernelClock(), TimerClock::RealTime);

    EXPECT_TRUE(loop().runUntilCondition([&] { return order.size() == 2; }, 5.0));
    EXPECT_GE(Clock::process().now(), now + 0.02);
    loop().runUntilCondition([] { return false; }, 0.35);
    EXPECT_EQ(order, (std::vector<std::string> { "first", "second" }));
}

TEST_F(RunLoopTimerTest, AnAlarmTimerThatMayNotWakeTheMachineRunsOnTheWallClockAndSaysWhy)
{
    Clock::installSystem();
    bool fired = false;
    RunLoopTimer timer(TimerClock::RealTimeAlarm, [&](TimerEvent) { fired = true; });
    ASSERT_TRUE(timer.armAfter(0.02));
    ASSERT_TRUE(timer.kernelClock());
    if (*timer.kernelClock() == TimerClock::RealTimeAlarm)
        EXPECT_TRUE(timer.fallbackReason().empty());
    else
        EXPECT_FALSE(timer.fallbackReason().empty());
    EXPECT_TRUE(loop().runUntilCondition([&] { return fired; }, 5.0));
}

TEST_F(RunLoopTimerTest, ATimerfdTimerMayDestroyItselfFromItsHandler)
{
    Clock::installSystem();
    std::unique_ptr<RunLoopTimer> timer;
    timer = std::make_unique<RunLoopTimer>(TimerClock::RealTime, [&](TimerEvent) { timer.reset(); });
    ASSERT_TRUE(timer->armAfter(0.01));
    EXPECT_TRUE(loop().runUntilCondition([&] { return !timer; }, 5.0));
}

TEST_F(RunLoopTimerTest, SwitchingToTheVirtualClockMovesAnArmedTimerOntoTheLoop)
{
    Clock::installSystem();
    RunLoopTimer timer(TimerClock::RealTime, recorder("timer"));
    ASSERT_TRUE(timer.armAfter(0.05));
    Clock::installVirtual(m_start);
    timer.armAt(m_start + 30);
    loop().runUntilCondition([] { return false; }, 0.15);
    EXPECT_TRUE(m_events.empty()) << "the timerfd of the system clock was disarmed";
    loop().advanceBy(60);
    EXPECT_EQ(m_events, (std::vector<std::string> { "timer@30" }));
}

// Setting the wall clock needs CAP_SYS_TIME; the clock is set to the time it shows.
TEST_F(RunLoopTimerTest, ASettingOfTheWallClockIsReportedAndTheTimerKeepsItsTime)
{
    Clock::installSystem();
    std::vector<TimerEvent> events;
    RunLoopTimer timer(TimerClock::RealTime, [&](TimerEvent event) { events.push_back(event); });
    double at = RunLoopTimer::now(TimerClock::RealTime) + 0.3;
    ASSERT_TRUE(timer.armAt(at));
    timespec now { };
    clock_gettime(CLOCK_REALTIME, &now);
    if (clock_settime(CLOCK_REALTIME, &now) != 0)
        GTEST_SKIP() << "the process may not set the wall clock: " << strerror(errno);
    EXPECT_TRUE(loop().runUntilCondition([&] { return !events.empty(); }, 5.0));
    EXPECT_EQ(events.front(), TimerEvent::ClockChanged);
    EXPECT_EQ(timer.armedAt(), at);
    EXPECT_TRUE(loop().runUntilCondition([&] { return events.size() == 2; }, 5.0));
    EXPECT_EQ(events.back(), TimerEvent::Fired);
}
