#include "platform/session/OwnerRecord.h"

#include "platform/testsupport/DeviceFixture.h"

#include <gtest/gtest.h>

// The owner's record through a day: what it holds after each event is what a stop, a crash or
// the next boot would write back to the session.
namespace {

constexpr uint32_t kNorm = 0x10000U;

const SessionValues kOwner { FeedbackLevel::Full, kNorm * 3 / 8, kNorm / 2, true };
const SessionValues kMeeting { FeedbackLevel::Silent, kNorm * 3 / 8, 0, false };

class OwnerRecordTest : public DeviceFixture { };

}

TEST_F(OwnerRecordTest, TheRecordHoldsTheOwnersValuesWhileTheyAreOverriddenAndNothingOnceThePhoneRests)
{
    struct Step {
        const char* event;
        std::function<void(OwnerRecord&)> apply;
        SessionValues expected;
    } steps[] = {
        { "a profile writes the meeting", [](OwnerRecord& r) { r.recordBefore(kOwner, kMeeting, "sink", { kNorm / 2, kNorm / 4 }); },
            { FeedbackLevel::Full, std::nullopt, kNorm / 2, true } },
        { "a second write in the meeting keeps the first values",
            [](OwnerRecord& r) { r.recordBefore(kMeeting, { FeedbackLevel::Quiet, 7, 9, false }, "sink", {}); },
            { FeedbackLevel::Full, kNorm * 3 / 8, kNorm / 2, true } },
        { "the owner raises the ringer: only that entry goes", [](OwnerRecord& r) { r.forget(SessionControl::EventRole); },
            { FeedbackLevel::Full, std::nullopt, kNorm / 2, true } },
        { "the owner turns Do Not Disturb off", [](OwnerRecord& r) { r.forget(SessionControl::Banners); },
            { FeedbackLevel::Full, std::nullopt, kNorm / 2, std::nullopt } },
        { "the revert ran and the media write could not land", [](OwnerRecord& r) { r.settle({ SessionControl::Media }); },
            { std::nullopt, std::nullopt, kNorm / 2, std::nullopt } },
        { "everything landed", [](OwnerRecord& r) { r.settle({}); }, {} },
    };
    OwnerRecord record;
    for (const auto& step : steps) {
        step.apply(record);
        EXPECT_EQ(record.values, step.expected) << step.event;
    }
    EXPECT_TRUE(record.isEmpty());
    EXPECT_FALSE(record.mediaSink) << "the sink goes with the media value";
    EXPECT_TRUE(record.mediaChannels.empty());
}

TEST_F(OwnerRecordTest, TheFileKeepsWhatAFailedWriteLeftAndGoesWhenNothingIsLeft)
{
    OwnerRecord record;
    record.recordBefore(kOwner, kMeeting, "sink", { kNorm / 2, kNorm / 4 });
    record.settle({ SessionControl::Banners, SessionControl::Media });
    ASSERT_TRUE(record.save());
    OwnerRecord read = OwnerRecord::load();
    EXPECT_EQ(read.values, (SessionValues { std::nullopt, std::nullopt, kNorm / 2, true }));
    EXPECT_EQ(read.mediaSink, "sink");
    EXPECT_EQ(read.mediaChannels, (std::vector<uint32_t> { kNorm / 2, kNorm / 4 }));

    read.settle({});
    ASSERT_TRUE(read.save());
    EXPECT_FALSE(std::filesystem::exists(OwnerRecord::path()));
}

TEST(SessionControlTest, TheOwnersValuesStandInForWhatTheSessionHoldsOnlyWhereItHoldsTheControl)
{
    SessionValues session { std::nullopt, 4096, 0, false };
    SessionValues recorded { FeedbackLevel::Full, kNorm * 3 / 8, std::nullopt, true };
    EXPECT_EQ(overlaid(session, recorded), (SessionValues { std::nullopt, kNorm * 3 / 8, 0, true })) << "feedbackd gone stays gone";
    EXPECT_TRUE(sameValue(session, { FeedbackLevel::Quiet, 4096, 1, true }, SessionControl::EventRole));
    EXPECT_FALSE(sameValue(session, { FeedbackLevel::Quiet, 4096, 1, true }, SessionControl::Media));
}
