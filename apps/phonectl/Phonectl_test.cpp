#include "apps/testsupport/PhonectlFixture.h"

#include "platform/machinery/AtomicFile.h"
#include "platform/testsupport/PeerProcess.h"

#include <chrono>
#include <fstream>

namespace {

class PhonectlTest : public PhonectlFixture { };

}

TEST_F(PhonectlTest, ABootedPhoneOnAVirtualClockGoesQuietForAMeetingAndBack)
{
    bootWithMeeting();
    PlistValue before = state();
    for (const char* key : { "clock", "osVersion", "ringerVolume", "mediaVolume", "ringVibrate", "silentVibrate", "doNotDisturb",
             "statusBarItems", "alarmIcon", "screenOn", "locked", "wifi", "alert", "profiles" })
        EXPECT_FALSE(before[key].isNone()) << key;
    EXPECT_EQ(before["clock"], PlistValue("2026-12-08T08:55:00"));
    EXPECT_EQ(before["osVersion"], PlistValue("13.3"));
    EXPECT_EQ(before["alert"], PlistValue("<null>"));
    EXPECT_EQ(before["ringerVolume"], PlistValue(0.5));
    ASSERT_EQ(before["profiles"].asArray()->size(), 1u);

    EXPECT_EQ(phonectl({ "clock", "advance", "302" }).out, "2026-12-08T09:00:02\n");
    PlistValue during = state();
    EXPECT_EQ(during["ringerVolume"], PlistValue(0.0625));
    EXPECT_EQ((*during["profiles"].asArray())[0]["applied"], PlistValue(true));

    phonectl({ "clock", "advance", "3600" });
    PlistValue after = state();
    EXPECT_EQ(after["clock"], PlistValue("2026-12-08T10:00:02"));
    EXPECT_EQ(after["ringerVolume"], PlistValue(0.5));
    EXPECT_EQ((*after["profiles"].asArray())[0]["applied"], PlistValue(false));

    EXPECT_EQ(phonectl({ "stop" }).status, 0);
    m_booted = false;
    PhonectlResult stopped = phonectl({ "state" });
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.err.find("not booted"), std::string::npos) << stopped.err;
}

TEST_F(PhonectlTest, AButtonPressDuringAMeetingAsksAndNoThanksKeepsTheUsersVolume)
{
    bootWithMeeting();
    phonectl({ "clock", "advance", "302" });
    EXPECT_EQ(phonectl({ "press", "volume-up" }).out, "ringer 0.125\n");
    PlistValue asked = state();
    ASSERT_TRUE(asked["alert"].isDictionary()) << toJson(asked);
    EXPECT_EQ(asked["alert"]["buttons"], PlistValue(std::vector<std::string> { "Yes, please", "No, thanks" }));
    EXPECT_EQ(phonectl({ "alert", "answer", "5" }).status, 1);
    EXPECT_EQ(phonectl({ "alert", "answer", "1" }).status, 0);
    EXPECT_EQ(state("alert"), PlistValue("<null>"));
    phonectl({ "clock", "advance", "3600" });
    EXPECT_EQ(state("ringerVolume"), PlistValue(0.5));
}

TEST_F(PhonectlTest, TheHostIsRestartedOnTheSameClockAndMessagesReachThePlugIn)
{
    bootWithMeeting();
    phonectl({ "clock", "advance", "60" });
    ASSERT_TRUE(killHomeScreenAndWaitForItsRestart());
    PlistValue restarted = state();
    EXPECT_EQ(restarted["clock"], PlistValue("2026-12-08T08:56:00"));

    int64_t identifier = *(*restarted["profiles"].asArray())[0]["identifier"].asInteger();
    PhonectlResult sent = phonectl({ "send", "com.velloq.HushlineProfileUpdateMessageKey", "--user-info",
        "{\"ProfileIdentifier\": " + std::to_string(identifier) + ", \"ChangedData\": {\"title\": \"Focus\"}}" });
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_TRUE(eventually([&] {
        const PlistValue profiles = state("profiles");
        return profiles.asArray() && !profiles.asArray()->empty() && (*profiles.asArray())[0]["title"] == PlistValue("Focus");
    }));

    EXPECT_EQ(phonectl({ "wifi", "join", "Office" }).status, 0);
    EXPECT_TRUE(eventually([&] {
        const PlistValue wifi = state("wifi");
        return wifi["current"] == PlistValue("Office");
    }));
    EXPECT_EQ(phonectl({ "post", "com.velloq.ProfileChangedNotification" }).status, 0);
    PhonectlResult alarm = phonectl({ "alarm", "add", "07:00", "--title", "Wake" });
    EXPECT_EQ(alarm.status, 0) << alarm.err;
    EXPECT_EQ(state("alarmIcon"), PlistValue(true));
    alarm.out.pop_back();
    EXPECT_EQ(phonectl({ "alarm", "off", alarm.out }).status, 0);
    EXPECT_EQ(state("alarmIcon"), PlistValue(false));
}

// `log --follow` waits for the log file and for the phone: a line written to the log shows at
// once, and the command ends as soon as the phone has stopped.
TEST_F(PhonectlTest, LogFollowShowsNewLinesAtOnceAndEndsWithThePhone)
{
    boot();
    PeerProcess follower(HUSHLINE_PHONECTL, { "--root", m_root.string(), "log", "--follow" });
    ASSERT_TRUE(follower.waitForLine("== /tmp/velloq.log =="));
    auto since = [](std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    auto written = std::chrono::steady_clock::now();
    std::ofstream(m_root / "tmp/velloq.log", std::ios::app) << "written by the test\n";
    ASSERT_TRUE(follower.waitForLine("written by the test"));
    EXPECT_LT(since(written), 0.5);

    ASSERT_EQ(phonectl({ "stop" }).status, 0);
    m_booted = false;
    auto stopped = std::chrono::steady_clock::now();
    ASSERT_TRUE(follower.waitForExit());
    EXPECT_LT(since(stopped), 0.5) << "the phone's end is heard, not looked for once a second";
    EXPECT_EQ(follower.exitStatus(), 0);
}

TEST_F(PhonectlTest, WrongCommandsUnknownPhonesAndMalformedInputAreRefused)
{
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* says;
    };
    std::filesystem::path nowhere = m_root / "no-such-phone";
    for (const Case& c : {
             Case { { "fly" }, 2, "unknown command fly" },
             Case { { "state", "extra" }, 2, "unexpected argument extra" },
             Case { { "state" }, 1, "not booted" },
             Case { { "clock", "advance", "soon" }, 2, "expected a number of seconds" },
             Case { { "clock", "advance", "-5" }, 2, "expected a number of seconds" },
             Case { { "clock", "set", "2026-02-30T09:00:00" }, 2, "expected a local time" },
             Case { { "boot", "--clock", "yesterday" }, 2, "expected now or a local time" },
             Case { { "send", "x", "--user-info", "{\"a\": }" }, 2, "malformed JSON" },
             Case { { "send", "x", "--user-info", "[1]" }, 2, "expected a JSON object" },
             Case { { "press", "power" }, 2, "unknown button" },
             Case { { "dnd", "maybe" }, 2, "expected on or off" },
             Case { { "vibrate", "loudly", "on" }, 2, "unknown vibrate setting" },
             Case { { "vibrate", "ring", "1" }, 2, "expected on or off" },
             Case { { "volume", "ringer", "1.5" }, 2, "expected a level from 0 to 1" },
             Case { { "volume", "media", "0.5" }, 2, "unknown volume" },
             Case { { "dnd", "on" }, 1, "not booted" },
             Case { { "alarm", "add", "7:00" }, 2, "expected a time of day" },
             Case { { "calendar", "add", "../x", "--title", "t", "--start", "2026-12-08T09:00", "--end", "2026-12-08T10:00" }, 2, "names no calendar" },
             Case { { "calendar", "add", "Work", "--title", "t", "--start", "2026-12-08T10:00", "--end", "2026-12-08T09:00" }, 2, "must end after" },
             Case { { "stop" }, 1, "not booted" },
         }) {
        PhonectlResult result = phonectl(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments[0] << ": " << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.arguments[0] << ": " << result.err;
    }
    PhonectlResult unknown = phonectl({ "--root", nowhere.string(), "state" }, false);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("does not exist"), std::string::npos) << unknown.err;
    unsetenv("HUSHLINE_DEVICE_ROOT");
    PhonectlResult unnamed = phonectl({ "state" }, false);
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_NE(unnamed.err.find("no phone named"), std::string::npos) << unnamed.err;
}
