#include "platform/session/SessionMirror.h"

#include <gtest/gtest.h>

namespace {

// A profile as the phone applies it: the ringer at its lowest step, no media, vibrate off,
// Do Not Disturb on.
PhoneValues silenced(PhoneValues phone)
{
    phone.ringer.ringerVolume = 0.0625f;
    phone.ringer.ringVibrate = false;
    phone.ringer.silentVibrate = false;
    phone.mediaVolume = 0;
    phone.doNotDisturb = true;
    return phone;
}

std::string describe(const SessionValues& values)
{
    return std::string(feedbackLevelName(*values.level)) + " event " + std::to_string(*values.eventRoleVolume) + " media "
        + std::to_string(*values.mediaVolume) + " banners " + (*values.showBanners ? "on" : "off");
}

}

TEST(FeedbackLevelTest, TheLevelFollowsTheSwitchTheRingerAndTheVibrateSettingThatApplies)
{
    struct Case {
        RingerSettings settings;
        FeedbackLevel level;
    } cases[] = {
        { { false, 0.5f, false, false }, FeedbackLevel::Full },
        { { false, 0.5f, true, true }, FeedbackLevel::Full },
        { { false, 0.0f, true, false }, FeedbackLevel::Quiet },
        { { false, 0.0f, false, true }, FeedbackLevel::Silent },
        { { true, 0.5f, false, true }, FeedbackLevel::Quiet },
        { { true, 0.5f, true, false }, FeedbackLevel::Silent },
        { { true, 0.0f, true, true }, FeedbackLevel::Quiet },
    };
    for (const auto& c : cases)
        EXPECT_EQ(feedbackLevelFor(c.settings), c.level) << "switch " << c.settings.switchOnSilent << " ringer " << c.settings.ringerVolume
                                                         << " ring vibrate " << c.settings.ringVibrate << " silent vibrate "
                                                         << c.settings.silentVibrate;

    RingerSettings phone { false, 0.5f, true, false };
    EXPECT_EQ(ringerSettingsFor(FeedbackLevel::Quiet, 0.25f, phone), (RingerSettings { true, 0.25f, true, true }));
    EXPECT_EQ(ringerSettingsFor(FeedbackLevel::Silent, 0.25f, phone), (RingerSettings { true, 0.25f, true, false }));
    EXPECT_EQ(ringerSettingsFor(FeedbackLevel::Full, 0.25f, { true, 0, false, true }), (RingerSettings { false, 0.25f, false, true }));

    EXPECT_EQ(parseFeedbackLevel("quiet"), FeedbackLevel::Quiet);
    EXPECT_EQ(parseFeedbackLevel("loud"), std::nullopt) << "feedbackd takes any string; nothing but its three levels is believed";
}

// Whatever the owner had, a profile applied and reverted gives the session back exactly that,
// including what the phone cannot hold itself: "full" with the event role at 0, a volume between
// the phone's steps, 100 % from a missing stream-restore entry.
TEST(SessionMirrorTest, EveryOwnersStateComesBackExactlyAfterAProfile)
{
    const uint32_t volumes[] = { 0, 1, 4096, 21845, 32768, 65535, 65536 };
    const FeedbackLevel levels[] = { FeedbackLevel::Full, FeedbackLevel::Quiet, FeedbackLevel::Silent };
    for (uint32_t event : volumes) {
        for (FeedbackLevel level : levels) {
            for (bool banners : { true, false }) {
                SessionValues owner { level, event, 40000, banners };
                PhoneValues phone = SessionMirror::phoneValuesFor(owner, PhoneValues { { false, 0.5f, true, true }, 0.5f, false });
                SessionMirror mirror;
                mirror.agree(phone, owner);
                EXPECT_EQ(mirror.sessionValuesFor(phone, owner), owner) << "nothing to write at boot: " << describe(owner);

                SessionValues during = mirror.sessionValuesFor(silenced(phone), owner);
                EXPECT_EQ(*during.mediaVolume, 0u);
                EXPECT_EQ(*during.showBanners, false);
                EXPECT_EQ(*during.eventRoleVolume, serverVolume(0.0625f));
                EXPECT_EQ(mirror.sessionValuesFor(phone, during), owner) << "after the profile: " << describe(owner);
            }
        }
    }
}

TEST(SessionMirrorTest, ARingerOfZeroLeavesTheEventRoleVolumeAndTheOwnersLevelFollowsTheSwitch)
{
    SessionValues owner { FeedbackLevel::Full, 32768, 65536, true };
    PhoneValues phone = SessionMirror::phoneValuesFor(owner, PhoneValues {});
    EXPECT_FLOAT_EQ(phone.ringer.ringerVolume, 0.5f);
    EXPECT_FALSE(phone.ringer.switchOnSilent);
    SessionMirror mirror;
    mirror.agree(phone, owner);

    PhoneValues muted = phone;
    muted.ringer.ringerVolume = 0;
    muted.ringer.ringVibrate = true;
    SessionValues wanted = mirror.sessionValuesFor(muted, owner);
    EXPECT_EQ(wanted.level, FeedbackLevel::Quiet);
    EXPECT_EQ(wanted.eventRoleVolume, 32768u) << "one tap on the quick setting brings the ring back at its volume";

    // The owner taps "full" while the ringer is 0: it enters as the ringer raised to the event role.
    SessionValues tapped = wanted;
    tapped.level = FeedbackLevel::Full;
    PhoneValues raised = SessionMirror::phoneValuesFor(tapped, muted);
    EXPECT_FLOAT_EQ(raised.ringer.ringerVolume, 0.5f);
    EXPECT_FALSE(raised.ringer.switchOnSilent);
}

TEST(SessionMirrorTest, AMissingServiceIsNeverWrittenAndKeepsThePhonesOwnValue)
{
    SessionValues desktop { std::nullopt, 65536, 65536, std::nullopt };
    PhoneValues start { { false, 0.5f, true, true }, 0.5f, true };
    PhoneValues phone = SessionMirror::phoneValuesFor(desktop, start);
    EXPECT_EQ(phone.ringer.switchOnSilent, false);
    EXPECT_TRUE(phone.doNotDisturb) << "without the setting the phone's Do Not Disturb stays its own";
    SessionMirror mirror;
    mirror.agree(phone, desktop);
    SessionValues wanted = mirror.sessionValuesFor(silenced(phone), desktop);
    EXPECT_FALSE(wanted.level);
    EXPECT_FALSE(wanted.showBanners);
    EXPECT_EQ(wanted.mediaVolume, 0u);
}

// A desktop without feedbackd: the event-role volume is all that rings, so it carries the ringer,
// 0 and the switch on silent included, and comes back exactly after the profile.
TEST(SessionMirrorTest, WithoutFeedbackdTheEventRoleVolumeCarriesASilencedRinger)
{
    SessionValues desktop { std::nullopt, 24248, 45875, true };
    PhoneValues phone = SessionMirror::phoneValuesFor(desktop, PhoneValues { { false, 0.5f, true, true }, 0.5f, false });
    SessionMirror mirror;
    mirror.agree(phone, desktop);

    PhoneValues meeting = phone;
    meeting.ringer.ringerVolume = 0;
    EXPECT_EQ(mirror.sessionValuesFor(meeting, desktop).eventRoleVolume, 0u);
    PhoneValues switched = phone;
    switched.ringer.switchOnSilent = true;
    EXPECT_EQ(mirror.sessionValuesFor(switched, desktop).eventRoleVolume, 0u);
    EXPECT_EQ(mirror.sessionValuesFor(phone, { std::nullopt, 0, 0, false }), desktop) << "the owner's own values after the meeting";
}

TEST(SessionMirrorTest, ARingerTheOwnerRaisesDuringAProfileRings)
{
    SessionValues meeting { FeedbackLevel::Silent, 39322, 0, false };
    PhoneValues raised { { false, 0.6f, false, false }, 0, true };
    EXPECT_EQ(SessionMirror::afterOwnersRinger(meeting, raised).level, FeedbackLevel::Full);
    PhoneValues onSilent = raised;
    onSilent.ringer.switchOnSilent = true;
    EXPECT_EQ(SessionMirror::afterOwnersRinger(meeting, onSilent).level, FeedbackLevel::Silent) << "the switch on silent stays silent";
    PhoneValues lowered = raised;
    lowered.ringer.ringerVolume = 0;
    SessionValues owner { FeedbackLevel::Full, 0, 0, true };
    EXPECT_EQ(SessionMirror::afterOwnersRinger(owner, lowered).level, FeedbackLevel::Full) << "a ringer lowered to 0 keeps the owner's level";
}

// feedbackd answering only after the start: its level is the owner's while the phone's ringer is
// as he left it, and a profile's ringer is written over it.
TEST(SessionMirrorTest, ALevelLearnedLaterIsKeptAtRestAndOverriddenByAProfile)
{
    SessionValues desktop { std::nullopt, 32768, 65536, true };
    PhoneValues phone = SessionMirror::phoneValuesFor(desktop, PhoneValues { { false, 0.5f, false, false }, 0.5f, false });
    SessionMirror mirror;
    mirror.agree(phone, desktop);
    mirror.learnLevel(FeedbackLevel::Quiet);
    SessionValues appeared { FeedbackLevel::Quiet, 32768, 65536, true };
    EXPECT_EQ(mirror.sessionValuesFor(phone, appeared), appeared) << "nothing to write at rest";
    PhoneValues meeting = phone;
    meeting.ringer.ringerVolume = 0.0625f;
    EXPECT_EQ(mirror.sessionValuesFor(meeting, appeared).level, FeedbackLevel::Full);
    EXPECT_EQ(mirror.sessionValuesFor(phone, { FeedbackLevel::Full, 4096, 65536, true }), appeared) << "the owner's level after the meeting";
}
