#include "core/testsupport/ApplyFixture.h"

#include "core/apply/EKEvent+Apply.h"
#include "core/profile/EKEvent+Hushline.h"
#include "platform/foundation/DarwinNotifyCenter.h"

#include <algorithm>

namespace {

class EventApplyTest : public ApplyFixture {
protected:
    std::shared_ptr<EKEvent> eventFor(const std::shared_ptr<HLProfile>& profile)
    {
        EKEvent::Fields fields;
        fields.title = "Standup";
        fields.startDate = NSDate::date();
        fields.endDate = NSDate::dateWithTimeIntervalSinceNow(900);
        auto event = std::make_shared<EKEvent>(fields);
        hl_setProfile(event, profile);
        return event;
    }

    size_t appliedAnnouncements() const
    {
        const auto& names = DarwinNotifyCenter::current().postedNames();
        return static_cast<size_t>(std::count(names.begin(), names.end(), "com.velloq.ProfileAppliedStateChangedNotification"));
    }
};

}

TEST_F(EventApplyTest, AnEventAppliesItsEnabledProfileOnce)
{
    auto profile = storedProfile("Standup", [](HLProfile& p) { p.setPlayAlert(true); });
    auto event = eventFor(profile);
    applyProfile(event);
    applyProfile(event);
    EXPECT_TRUE(hl_isProfileApplied(event));
    EXPECT_TRUE(profile->isApplied());
    EXPECT_EQ(appliedAnnouncements(), 1u);
    EXPECT_EQ(phone().tones().size(), 1u);

    applyProfile(eventFor(profile));
    EXPECT_EQ(appliedAnnouncements(), 2u) << "another event object applies the profile again";
}

TEST_F(EventApplyTest, ADisabledProfileIsNotApplied)
{
    auto profile = storedProfile("Off", [](HLProfile& p) { p.setEnabled(false); });
    auto event = eventFor(profile);
    applyProfile(event);
    EXPECT_FALSE(hl_isProfileApplied(event));
    EXPECT_FALSE(profile->isApplied());
    EXPECT_EQ(appliedAnnouncements(), 0u);
}

TEST_F(EventApplyTest, RevertingThroughTheEventClearsItsMarkAndMayBeQuiet)
{
    auto profile = storedProfile("Standup", [](HLProfile& p) { p.setPlayAlert(true); });
    auto event = eventFor(profile);
    applyProfile(event);
    loop().advanceBy(5);

    revertProfile(event, true);
    loop().advanceBy(5);
    EXPECT_FALSE(hl_isProfileApplied(event));
    EXPECT_FALSE(profile->isApplied());
    EXPECT_EQ(phone().tones().size(), 1u) << "a quiet revert has no end tone";
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f);

    profile->setSilent(false);
    applyProfile(event);
    revertProfile(event);
    EXPECT_EQ(phone().tones().size(), 3u) << "applied again after the revert, then reverted with the end tone";
}
