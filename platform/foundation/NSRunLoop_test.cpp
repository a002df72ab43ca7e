#include "platform/foundation/NSRunLoop.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSTimer.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/epoll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class RunLoopTest : public RunLoopFixture {
protected:
    // Seconds since the test began, on the virtual clock.
    double elapsed() const { return m_clock->now() - m_start; }
    void note(const std::string& what) { m_events.push_back(what + "@" + std::to_string(elapsed()).substr(0, 4)); }

    NSRunLoop& loop() { return NSRunLoop::main(); }

    std::vector<std::string> m_events;
};

struct Owner : NSObject {
    int fired { 0 };
    void tick(NSTimer&) { ++fired; }
    int hides { 0 };
    void hide() { ++hides; }
    std::vector<std::string> seen;
    void show(const std::shared_ptr<NSObject>& what) { seen.push_back(what ? "object" : "none"); }
};

}

TEST_F(RunLoopTest, TimersAndDelayedBlocksRunInDateOrderAtTheirMoment)
{
    NSTimer::scheduledTimerWithTimeInterval(2.0, false, [&](NSTimer&) { note("timer"); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(0.8 * NSEC_PER_SEC)), dispatch_get_main_queue(), [&] { note("after0.8"); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(0.3 * NSEC_PER_SEC)), dispatch_get_main_queue(), [&] { note("after0.3"); });
    dispatch_async(dispatch_get_main_queue(), [&] { note("async"); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(0.8 * NSEC_PER_SEC)), dispatch_get_main_queue(), [&] { note("second0.8"); });

    EXPECT_TRUE(m_events.empty()) << "nothing runs before the loop turns";
    loop().advanceBy(1.0);
    EXPECT_EQ(m_events, (std::vector<std::string> { "async@0.00", "after0.3@0.30", "after0.8@0.80", "second0.8@0.80" }));
    EXPECT_DOUBLE_EQ(elapsed(), 1.0);

    loop().advanceBy(5.0);
    EXPECT_EQ(m_events.back(), "timer@2.00");
    EXPECT_EQ(loop().pendingCount(), 0u);
}

TEST_F(RunLoopTest, EveryStepRunsExactlyAtItsDelay)
{
    std::vector<double> at;
    for (double delay : { 0.3, 0.8, 1.0, 2.0, 5.0 })
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)), dispatch_get_main_queue(),
            [&] { at.push_back(m_clock->now()); });
    loop().advanceBy(10);
    ASSERT_EQ(at.size(), 5u);
    EXPECT_EQ(at[0], m_start + 0.3);
    EXPECT_EQ(at[1], m_start + 0.8);
    EXPECT_EQ(at[2], m_start + 1.0);
    EXPECT_EQ(at[3], m_start + 2.0);
    EXPECT_EQ(at[4], m_start + 5.0);
}

TEST_F(RunLoopTest, WorkQueuedByHandlersRunsWithinTheSpanOrWaits)
{
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), dispatch_get_main_queue(), [&] {
        note("first");
        dispatch_async(dispatch_get_main_queue(), [&] { note("next-turn"); });
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2), dispatch_get_main_queue(), [&] {
            note("nested");
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC), dispatch_get_main_queue(), [&] { note("late"); });
        });
    });
    loop().advanceBy(2.0);
    EXPECT_EQ(m_events, (std::vector<std::string> { "first@1.00", "next-turn@1.00", "nested@1.50" }));
    ASSERT_TRUE(loop().nextFireDate());
    EXPECT_DOUBLE_EQ(loop().nextFireDate()->timeIntervalSince1970() - m_start, 6.5);

    loop().runUntil(NSDate(m_start + 6.5));
    EXPECT_EQ(m_events.back(), "late@6.50");
}

TEST_F(RunLoopTest, RunPendingRunsOnlyWhatIsDueNow)
{
    dispatch_async(dispatch_get_main_queue(), [&] {
        note("a");
        dispatch_async(dispatch_get_main_queue(), [&] { note("b"); });
    });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_MSEC), dispatch_get_main_queue(), [&] { note("later"); });
    EXPECT_EQ(loop().runPending(), 2u);
    EXPECT_EQ(m_events, (std::vector<std::string> { "a@0.00", "b@0.00" }));
    EXPECT_EQ(elapsed(), 0.0);
}

TEST_F(RunLoopTest, HandlersCancelAndAddTimersTheirOwnIncluded)
{
    std::shared_ptr<NSTimer> victim = NSTimer::scheduledTimerWithTimeInterval(3.0, false, [&](NSTimer&) { note("victim"); });
    int ticks = 0;
    NSTimer::scheduledTimerWithTimeInterval(1.0, true, [&](NSTimer& self) {
        note("tick");
        if (++ticks == 2) {
            victim->invalidate();
            self.invalidate();
            NSTimer::scheduledTimerWithTimeInterval(0.5, false, [&](NSTimer&) { note("added"); });
        }
    });
    loop().advanceBy(10);
    EXPECT_EQ(m_events, (std::vector<std::string> { "tick@1.00", "tick@2.00", "added@2.50" }));
    EXPECT_FALSE(victim->isValid());
    EXPECT_EQ(loop().pendingCount(), 0u);
}

TEST_F(RunLoopTest, OneShotTimerIsSpentUnlessItsHandlerRearmsIt)
{
    int runs = 0;
    auto debounce = NSTimer::scheduledTimerWithTimeInterval(2.5, false, [&](NSTimer& self) {
        note("fired");
        if (++runs == 1)
            self.setFireDate(NSDate::dateWithTimeIntervalSinceNow(2.5));
    });
    loop().advanceBy(1.0);
    debounce->setFireDate(NSDate::dateWithTimeIntervalSinceNow(2.5));
    loop().advanceBy(10);
    EXPECT_EQ(m_events, (std::vector<std::string> { "fired@3.50", "fired@6.00" }));
    EXPECT_FALSE(debounce->isValid());
}

TEST_F(RunLoopTest, TimerHoldsItsTargetWeakly)
{
    auto owner = std::make_shared<Owner>();
    std::weak_ptr<Owner> watch = owner;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, owner, &Owner::tick, PlistValue("info"), true);
    loop().advanceBy(2.0);
    EXPECT_EQ(owner->fired, 2);
    EXPECT_EQ(*timer->userInfo().asString(), "info");

    owner.reset();
    EXPECT_TRUE(watch.expired()) << "the timer must not keep its target";
    loop().advanceBy(2.0);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(loop().pendingCount(), 0u);
}

TEST_F(RunLoopTest, DelayedPerformsAreCancelledByTargetSelectorAndArgument)
{
    auto owner = std::make_shared<Owner>();
    auto other = std::make_shared<Owner>();
    auto argument = std::make_shared<NSObject>();
    performSelector(owner, "hide", &Owner::hide, 2.0);
    performSelector(other, "hide", &Owner::hide, 2.0);
    performSelector<Owner, NSObject>(owner, "show:", &Owner::show, argument, 1.0);
    performSelector<Owner, NSObject>(owner, "show:", &Owner::show, nullptr, 1.0);

    loop().advanceBy(0.5);
    cancelPreviousPerformRequestsWithTarget(owner, "hide");
    cancelPreviousPerformRequestsWithTarget(owner, "show:", argument);
    performSelector(owner, "hide", &Owner::hide, 2.0);
    loop().advanceBy(1.9);
    EXPECT_EQ(owner->hides, 0) << "the first request was cancelled, the second is due at 2.5";
    EXPECT_EQ(other->hides, 1);
    EXPECT_EQ(owner->seen, (std::vector<std::string> { "none" }));
    loop().advanceBy(0.1);
    EXPECT_EQ(owner->hides, 1);

    performSelector(owner, "hide", &Owner::hide, 1.0);
    cancelPreviousPerformRequestsWithTarget(owner);
    loop().advanceBy(2.0);
    EXPECT_EQ(owner->hides, 1);
}

TEST_F(RunLoopTest, PendingPerformKeepsItsTargetUntilItRuns)
{
    auto owner = std::make_shared<Owner>();
    std::weak_ptr<Owner> watch = owner;
    performSelector(owner, "hide", &Owner::hide, 2.0);
    owner.reset();
    ASSERT_FALSE(watch.expired());
    loop().advanceBy(2.0);
    EXPECT_TRUE(watch.expired());
}

TEST_F(RunLoopTest, BlockFromAnotherThreadWakesTheLoop)
{
    std::atomic<bool> ran { false };
    std::thread::id ranOn;
    std::thread worker([&] {
        dispatch_async(dispatch_get_main_queue(), [&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
    });
    EXPECT_TRUE(loop().runUntilCondition([&] { return ran.load(); }, 5.0));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id()) << "main-queue blocks run on the loop's thread";
}

TEST_F(RunLoopTest, GlobalQueueRunsInTheBackgroundAndReportsBackOnTheMainQueue)
{
    std::atomic<bool> done { false };
    std::thread::id worker;
    std::thread::id reported;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        worker = std::this_thread::get_id();
        dispatch_async(dispatch_get_main_queue(), [&] {
            reported = std::this_thread::get_id();
            done = true;
        });
    });
    EXPECT_TRUE(loop().runUntilCondition([&] { return done.load(); }, 5.0));
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(reported, std::this_thread::get_id());
}

TEST_F(RunLoopTest, DescriptorSourcesAreServedAndMayRemoveThemselves)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    std::string received;
    NSRunLoop::SourceID source = 0;
    source = loop().addSource(fds[0], EPOLLIN, [&](uint32_t) {
        char buffer[16];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        received.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        loop().removeSource(source);
    });
    ASSERT_NE(source, 0u);
    loop().runPending();
    EXPECT_EQ(received, "");
    ASSERT_EQ(write(fds[1], "ping", 4), 4);
    loop().advanceBy(0.1);
    EXPECT_EQ(received, "ping");
    ASSERT_EQ(write(fds[1], "more", 4), 4);
    loop().runPending();
    EXPECT_EQ(received, "ping") << "the source removed itself";
    close(fds[0]);
    close(fds[1]);
}

TEST_F(RunLoopTest, OnTheSystemClockATurnWaitsForTheEarliestTimer)
{
    Clock::installSystem();
    bool fired = false;
    // Taken before the timer is armed: a preemption between the two must not shorten the measured wait.
    auto before = std::chrono::steady_clock::now();
    NSTimer::scheduledTimerWithTimeInterval(0.02, false, [&](NSTimer&) { fired = true; });
    EXPECT_TRUE(loop().runUntilCondition([&] { return fired; }, 5.0));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(19));
}

TEST_F(RunLoopTest, StopEndsRun)
{
    dispatch_async(dispatch_get_main_queue(), [&] {
        note("ran");
        loop().stop();
    });
    loop().run();
    EXPECT_EQ(m_events, (std::vector<std::string> { "ran@0.00" }));
}

TEST_F(RunLoopTest, WaitObserversSurroundEveryWaitAndMayShortenIt)
{
    Clock::installSystem();
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    std::vector<std::string> calls;
    loop().addSource(fds[0], EPOLLIN, [&](uint32_t) {
        char buffer[8];
        calls.push_back(read(fds[0], buffer, sizeof buffer) > 0 ? "source" : "empty source");
    });
    NSRunLoop::ObserverID observer = loop().addWaitObserver({
        .beforeWait = [&] { calls.push_back("before"); return 0.02; },
        .afterWait = [&] { calls.push_back("after"); return false; },
    });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop().runPending();
    EXPECT_EQ(calls, (std::vector<std::string> { "before", "after", "source" })) << "even a wait of no time is framed";

    calls.clear();
    auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(loop().runOnce(5.0)) << "an observer that ran nothing is no work";
    auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, std::chrono::milliseconds(19));
    EXPECT_LT(waited, std::chrono::seconds(2)) << "the observer's limit ended the wait, not the caller's";
    EXPECT_EQ(calls, (std::vector<std::string> { "before", "after" }));

    loop().removeWaitObserver(observer);
    calls.clear();
    loop().runPending();
    EXPECT_TRUE(calls.empty());
    close(fds[0]);
    close(fds[1]);
}

TEST_F(RunLoopTest, AnObserverThatRanSomethingIsWorkAndOneRemovedMidTurnIsNotCalledAgain)
{
    std::vector<std::string> calls;
    NSRunLoop::ObserverID second = 0;
    loop().addWaitObserver({
        .beforeWait = [&] {
            calls.push_back("first before");
            loop().removeWaitObserver(second);
            return -1.0;
        },
        .afterWait = [&] { calls.push_back("first after"); return true; },
    });
    second = loop().addWaitObserver({
        .beforeWait = [&] { calls.push_back("second before"); return -1.0; },
        .afterWait = [&] { calls.push_back("second after"); return true; },
    });
    EXPECT_EQ(loop().runPending(), 1u);
    EXPECT_EQ(calls, (std::vector<std::string> { "first before", "first after" }));
}
