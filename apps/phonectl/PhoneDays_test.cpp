#include "apps/testsupport/PhonectlFixture.h"

#include "platform/foundation/PropertyList.h"


// Whole days with the phone, driven from outside as its owner would: phonectl only, on the
// virtual clock. Each day checks that the phone ends up in the state its owner had or asked for.
namespace {

class PhoneDayTest : public PhonectlFixture {
protected:
    double ringer() { return state("ringerVolume").doubleValue(); }
    double media() { return state("mediaVolume").doubleValue(); }

    void advance(int seconds) { ok({ "clock", "advance", std::to_string(seconds) }); }

    // Hushline's master switch, as the settings do: the file, then the notification.
    void setHushlineEnabled(bool on)
    {
        ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.plist",
            PlistValue(PlistDictionary { { "com.velloq.hushline.enabled", on } })));
        ok({ "post", "com.velloq.HushlineEnabledOrDisableNotification" });
    }

    static PlistDictionary profileFollowing(int64_t identifier, const std::string& title, const std::string& calendar, double ringer)
    {
        return { { "identifier", identifier }, { "title", title }, { "enabled", true }, { "allDay", true }, { "ringerVolume", ringer },
            { "playBackVolume", ringer }, { "playAlert", false }, { "calendarIdentifiers", PlistArray { calendar } } };
    }

    void writeProfiles(const PlistArray& entries)
    {
        ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist", PlistValue(entries)));
    }
};

}

TEST_F(PhoneDayTest, MovingFromOneRememberedNetworkToAnotherAppliesAndRevertsTheNetworksProfile)
{
    boot();
    changeFirstProfile(R"({"wifiNetworks": ["Home"], "playAlert": false})");
    ok({ "wifi", "join", "Office" });
    advance(60);
    EXPECT_FALSE(isApplied());

    ok({ "wifi", "join", "Home" });
    ASSERT_TRUE(eventually([&] { return isApplied(); }));
    advance(5);
    EXPECT_DOUBLE_EQ(ringer(), 0.0625);

    advance(60);
    ok({ "wifi", "join", "Office" });
    ASSERT_TRUE(eventually([&] { return !isApplied(); }));
    advance(5);
    EXPECT_DOUBLE_EQ(ringer(), 0.5);
}

TEST_F(PhoneDayTest, AMeetingLeftOutByAttendanceDoesNotHideTheTentativeOneLater)
{
    addEvent("Work", "Confirmed", "09:00", "10:00", "confirmed");
    addEvent("Work", "Maybe", "11:00", "12:00", "tentative");
    boot();
    changeFirstProfile(R"({"applyProfileEventStatus": 2})");
    advance(3900);
    EXPECT_FALSE(isApplied()) << "10:00: the confirmed meeting is not followed";
    advance(3605);
    EXPECT_TRUE(isApplied()) << "11:00: the tentative one is";
    EXPECT_DOUBLE_EQ(ringer(), 0.0625);
    advance(3600);
    EXPECT_FALSE(isApplied());
    EXPECT_DOUBLE_EQ(ringer(), 0.5);
}

TEST_F(PhoneDayTest, HushlineSwitchedOffAndOnDuringAMeetingSilencesThePhoneAgain)
{
    bootWithMeeting();
    advance(305);
    ASSERT_TRUE(isApplied());
    setHushlineEnabled(false);
    ASSERT_TRUE(eventually([&] { return !isApplied(); }));
    advance(5);
    EXPECT_DOUBLE_EQ(ringer(), 0.5);

    setHushlineEnabled(true);
    ASSERT_TRUE(eventually([&] { return isApplied(); }));
    advance(5);
    EXPECT_DOUBLE_EQ(ringer(), 0.0625);
    advance(3600);
    EXPECT_FALSE(isApplied());
    EXPECT_DOUBLE_EQ(ringer(), 0.5);
}

TEST_F(PhoneDayTest, ARestartOfTheHomeScreenDuringAMeetingKeepsTheUsersVolumes)
{
    bootWithMeeting();
    advance(305);
    ASSERT_TRUE(isApplied());
    ASSERT_DOUBLE_EQ(ringer(), 0.0625);
    ASSERT_TRUE(killHomeScreenAndWaitForItsRestart());
    advance(5);
    EXPECT_TRUE(isApplied()) << "the meeting still runs";
    EXPECT_DOUBLE_EQ(ringer(), 0.0625);

    advance(3600);
    EXPECT_FALSE(isApplied());
    EXPECT_DOUBLE_EQ(ringer(), 0.5);
    EXPECT_DOUBLE_EQ(media(), 0.5);
}

TEST_F(PhoneDayTest, BeforeVersionElevenOnlyTheUsersOwnRingerChangeIsAskedAbout)
{
    bootWithMeeting("10.3");
    advance(305);
    ASSERT_TRUE(isApplied());
    EXPECT_EQ(state("alert"), PlistValue("<null>")) << "the profile set the ringer itself";
    EXPECT_EQ(ok({ "volume", "ringer", "0.25" }), "ringer 0.25\n");
    const PlistValue asked = state("alert");
    ASSERT_TRUE(asked.isDictionary());
    ok({ "alert", "answer", "0" });
    advance(3600);
    EXPECT_DOUBLE_EQ(ringer(), 0.25) << "Yes, please keeps the volume the user chose";
}

TEST_F(PhoneDayTest, TheRevertGivesBackTheVibrateSettingsAndDoNotDisturbThePhoneHad)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    addEvent("Work", "Review", "11:00", "12:00");
    boot();
    EXPECT_EQ(ok({ "vibrate", "ring", "off" }), "ringVibrate off, silentVibrate off\n");
    EXPECT_EQ(ok({ "dnd", "on" }), "doNotDisturb on\n");
    advance(305);
    ASSERT_TRUE(isApplied());
    EXPECT_TRUE(state("ringVibrate").boolValue()) << "the default profile vibrates";
    advance(3605);
    EXPECT_FALSE(isApplied());
    EXPECT_FALSE(state("ringVibrate").boolValue());
    EXPECT_FALSE(state("silentVibrate").boolValue());
    EXPECT_TRUE(state("doNotDisturb").boolValue()) << "the user's own Do Not Disturb";

    // A profile that does not vibrate but wants Do Not Disturb, on a phone that vibrates.
    ok({ "vibrate", "ring", "on" });
    ok({ "vibrate", "silent", "on" });
    ok({ "dnd", "off" });
    changeFirstProfile(R"({"vibrate": false, "dnDEnabled": true})");
    advance(3600);
    ASSERT_TRUE(isApplied());
    EXPECT_TRUE(state("doNotDisturb").boolValue());
    advance(3600);
    EXPECT_FALSE(isApplied());
    EXPECT_TRUE(state("ringVibrate").boolValue());
    EXPECT_TRUE(state("silentVibrate").boolValue());
    EXPECT_FALSE(state("doNotDisturb").boolValue());
}

TEST_F(PhoneDayTest, OverlappingProfilesKeepThePhoneQuietUntilTheLastMeetingEnds)
{
    addEvent("Early", "Planning", "09:00", "10:00");
    addEvent("Late", "Review", "09:30", "10:30");
    auto early = profileFollowing(1000, "Early", "local/Early", 0.0625);
    auto late = profileFollowing(1001, "Late", "local/Late", 0.25);
    late["dnDEnabled"] = true;
    late["vibrate"] = true;
    writeProfiles({ early, late });
    boot();
    advance(305);
    EXPECT_DOUBLE_EQ(ringer(), 0.0625);
    advance(1800);
    EXPECT_DOUBLE_EQ(ringer(), 0.25);

    advance(1800 + 300);
    EXPECT_FALSE(isApplied(0));
    EXPECT_TRUE(isApplied(1));
    EXPECT_DOUBLE_EQ(ringer(), 0.25) << "10:05: the later profile still holds the phone";
    EXPECT_DOUBLE_EQ(media(), 0.25);
    EXPECT_TRUE(state("doNotDisturb").boolValue());
    EXPECT_TRUE(state("ringVibrate").boolValue());

    advance(1500);
    EXPECT_FALSE(isApplied(1));
    EXPECT_DOUBLE_EQ(ringer(), 0.5) << "10:30: the user's own volumes, as before 09:00";
    EXPECT_DOUBLE_EQ(media(), 0.5);
    EXPECT_FALSE(state("doNotDisturb").boolValue());
    EXPECT_FALSE(state("ringVibrate").boolValue());
}

TEST_F(PhoneDayTest, AWordGivenForTheRingerVolumeIsRefused)
{
    bootWithMeeting();
    changeFirstProfile(R"({"ringerVolume": "loud", "playBackVolume": "0.25"})");
    advance(305);
    ASSERT_TRUE(isApplied());
    EXPECT_DOUBLE_EQ(ringer(), 0.0625);
    EXPECT_DOUBLE_EQ(media(), 0.25);
    EXPECT_NE(ok({ "log" }).find("Ignoring changed data \"ringerVolume\" = loud"), std::string::npos);
}

TEST_F(PhoneDayTest, ResetProfilesDuringAMeetingGivesTheOwnersStateBack)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    boot();
    ok({ "vibrate", "ring", "off" });
    changeFirstProfile(R"({"dnDEnabled": true})");
    advance(305);
    ASSERT_TRUE(isApplied());
    ASSERT_DOUBLE_EQ(ringer(), 0.0625);
    ASSERT_TRUE(state("doNotDisturb").boolValue());

    // Reset Profiles, as the Settings app does it: the file goes, then the home screen restarts.
    std::filesystem::remove(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist");
    ASSERT_TRUE(killHomeScreenAndWaitForItsRestart());
    advance(5);
    EXPECT_FALSE(state("doNotDisturb").boolValue()) << "the new default profile leaves Do Not Disturb alone";

    advance(3600);
    EXPECT_FALSE(isApplied());
    EXPECT_DOUBLE_EQ(ringer(), 0.5);
    EXPECT_DOUBLE_EQ(media(), 0.5);
    EXPECT_FALSE(state("doNotDisturb").boolValue());
    EXPECT_FALSE(state("ringVibrate").boolValue());
}

// Profiles that follow each other: the second applies while the first's revert is still giving
// the owner's volumes back (its volume steps wait for the end tone). The day must still end with
// the owner's own volumes.
TEST_F(PhoneDayTest, AMeetingRightAfterAnotherEndsWithTheOwnersVolumes)
{
    addEvent("Work", "Meetings", "09:00", "10:00");
    addEvent("Uni", "Lectures", "10:00", "11:00");
    auto work = profileFollowing(1000, "Work", "local/Work", 0.0);
    auto uni = profileFollowing(1001, "Uni", "local/Uni", 0.25);
    uni["playBackVolume"] = 0.2;
    for (auto* profile : { &work, &uni })
        (*profile)["playAlert"] = true;
    writeProfiles({ work, uni });
    boot();
    ok({ "volume", "ringer", "0.375" });
    advance(305);
    ASSERT_TRUE(isApplied(0));
    EXPECT_DOUBLE_EQ(ringer(), 0.0);

    advance(3600);
    EXPECT_FALSE(isApplied(0));
    ASSERT_TRUE(isApplied(1));
    EXPECT_DOUBLE_EQ(ringer(), 0.25);
    EXPECT_FLOAT_EQ(media(), 0.2f);

    advance(3600);
    EXPECT_FALSE(isApplied(1));
    EXPECT_FLOAT_EQ(ringer(), 0.375f) << "11:05: the owner's ringer, as before 09:00";
    EXPECT_DOUBLE_EQ(media(), 0.5);
}

TEST_F(PhoneDayTest, GoingStraightFromOneNetworksProfileToAnotherEndsWithTheOwnersVolumes)
{
    auto home = profileFollowing(1000, "Home", "local/None", 0.5);
    home["playBackVolume"] = 0.3;
    auto cafe = profileFollowing(1001, "Cafe", "local/None", 0.5);
    cafe["playBackVolume"] = 0.1;
    home["wifiNetworks"] = PlistArray { "Home" };
    cafe["wifiNetworks"] = PlistArray { "Cafe" };
    for (auto* profile : { &home, &cafe })
        (*profile)["playAlert"] = true;
    writeProfiles({ home, cafe });
    boot();
    ok({ "wifi", "join", "Home" });
    ASSERT_TRUE(eventually([&] { return isApplied(0); }));
    advance(5);
    EXPECT_FLOAT_EQ(media(), 0.3f);

    ok({ "wifi", "join", "Cafe" });
    ASSERT_TRUE(eventually([&] { return isApplied(1) && !isApplied(0); }));
    advance(5);
    EXPECT_FLOAT_EQ(media(), 0.1f);

    ok({ "wifi", "leave" });
    ASSERT_TRUE(eventually([&] { return !isApplied(1); }));
    advance(5);
    EXPECT_DOUBLE_EQ(media(), 0.5) << "the owner's media volume, as before the first network";
    EXPECT_DOUBLE_EQ(ringer(), 0.5);
}
