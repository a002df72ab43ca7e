#include "platform/session/CatchUpReads.h"

#include "platform/foundation/NSRunLoop.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Reads answered by the test when it chooses, as a slow server would.
struct Reads {
    std::vector<CatchUpReads::Answered> waiting;
    std::vector<double> startedAt;
    int finished { 0 };

    CatchUpReads make(std::vector<double> schedule)
    {
        return CatchUpReads(
            std::move(schedule),
            [this](CatchUpReads::Answered answered) {
                startedAt.push_back(RunLoopTimer::now(TimerClock::Monotonic));
                waiting.push_back(std::move(answered));
            },
            [this] { ++finished; });
    }
    bool runUntilReadStarted(size_t count)
    {
        return NSRunLoop::main().runUntilCondition([&] { return startedAt.size() >= count; }, 2);
    }
    void answerAll()
    {
        auto answers = std::move(waiting);
        waiting.clear();
        for (auto& answer : answers)
            answer();
    }
};

}

TEST(CatchUpReadsTest, EachReadWaitsForTheAnswerBeforeAndTheLastAnswerFinishes)
{
    Reads reads;
    CatchUpReads catchUp = reads.make({ 0.005, 0.01, 0.02 });
    double start = RunLoopTimer::now(TimerClock::Monotonic);
    catchUp.start();
    ASSERT_TRUE(reads.runUntilReadStarted(1));
    EXPECT_GE(reads.startedAt[0] - start, 0.005);

    NSRunLoop::main().runUntilCondition([] { return false; }, 0.05);
    EXPECT_EQ(reads.startedAt.size(), 1u) << "no second read while the first is unanswered";

    reads.answerAll();
    ASSERT_TRUE(reads.runUntilReadStarted(2)) << "a time already passed reads at once";
    reads.answerAll();
    ASSERT_TRUE(reads.runUntilReadStarted(3));
    EXPECT_GE(reads.startedAt[2] - start, 0.02);
    EXPECT_EQ(reads.finished, 0);
    EXPECT_TRUE(catchUp.isRunning());

    reads.answerAll();
    EXPECT_EQ(reads.finished, 1);
    EXPECT_FALSE(catchUp.isRunning());
}

TEST(CatchUpReadsTest, AStartAgainBeginsTheScheduleAndAnOldAnswerDoesNotCount)
{
    Reads reads;
    CatchUpReads catchUp = reads.make({ 0.001, 0.2 });
    catchUp.start();
    ASSERT_TRUE(reads.runUntilReadStarted(1));
    auto oldAnswer = std::move(reads.waiting.back());
    reads.waiting.clear();

    double restart = RunLoopTimer::now(TimerClock::Monotonic);
    catchUp.start();
    ASSERT_TRUE(reads.runUntilReadStarted(2));
    oldAnswer();
    reads.answerAll();
    ASSERT_TRUE(reads.runUntilReadStarted(3));
    EXPECT_GE(reads.startedAt[2] - restart, 0.2) << "the second reading keeps to the new schedule";
    reads.answerAll();
    EXPECT_EQ(reads.finished, 1);
}

TEST(CatchUpReadsTest, AStoppedCatchUpReadsNoMoreAndNeverFinishes)
{
    Reads reads;
    CatchUpReads catchUp = reads.make({ 0.001, 0.002 });
    catchUp.start();
    ASSERT_TRUE(reads.runUntilReadStarted(1));
    catchUp.stop();
    reads.answerAll();
    NSRunLoop::main().runUntilCondition([] { return false; }, 0.03);
    EXPECT_EQ(reads.startedAt.size(), 1u);
    EXPECT_EQ(reads.finished, 0);
    EXPECT_FALSE(catchUp.isRunning());
}
