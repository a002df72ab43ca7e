#include "platform/session/EchoedValue.h"

#include <gtest/gtest.h>
#include <vector>

TEST(EchoedValue, OurEchoesAreNotTheOwnersAndAnEchoEndsTheWritesBeforeIt)
{
    EchoedValue<int> level;
    level.read(1);
    EXPECT_TRUE(level.willHold(1));
    EXPECT_TRUE(level.beginWrite(2, true, nullptr));
    EXPECT_TRUE(level.beginWrite(3, true, nullptr));
    EXPECT_TRUE(level.willHold(3)) << "the last write on its way decides";
    EXPECT_FALSE(level.willHold(1));

    EXPECT_FALSE(level.arrived(3)) << "our own echo, though the echo of 2 never came";
    EXPECT_EQ(level.value(), 3);
    EXPECT_FALSE(level.arrived(3)) << "no change";
    EXPECT_TRUE(level.arrived(2)) << "the write of 2 was ended by the echo of 3: this is the owner's";
    EXPECT_EQ(level.value(), 2);
}

TEST(EchoedValue, ARefusedWriteOrARestartLeavesNoEchoToWaitFor)
{
    EchoedValue<bool> shown;
    EXPECT_FALSE(shown.value());
    EXPECT_TRUE(shown.arrived(true)) << "the first value told is the owner's";
    ASSERT_TRUE(shown.beginWrite(false, true, nullptr));
    shown.refused(false);
    EXPECT_TRUE(shown.willHold(true));
    EXPECT_TRUE(shown.arrived(false)) << "a refused write has no echo";

    ASSERT_TRUE(shown.beginWrite(true, true, nullptr));
    shown.forgetWrites();
    shown.read(false);
    EXPECT_TRUE(shown.arrived(true)) << "after a restart nothing of ours is on its way";
}

TEST(EchoedValue, AWriteOfWhatWillBeThereOrWithoutTheServiceIsAnsweredAtOnce)
{
    EchoedValue<int> level;
    level.read(1);
    std::vector<bool> answers;
    auto done = [&](bool ok) { answers.push_back(ok); };
    EXPECT_FALSE(level.beginWrite(1, true, done));
    EXPECT_FALSE(level.beginWrite(2, false, done));
    EXPECT_EQ(answers, (std::vector<bool> { true, false })) << "the same value is done; no service is a failure";
    EXPECT_TRUE(level.beginWrite(2, true, done));
    EXPECT_EQ(answers.size(), 2u) << "a write on its way is answered by its writer";
}
