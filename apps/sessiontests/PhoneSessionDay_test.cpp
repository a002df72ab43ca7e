#include "apps/sessiontests/PhoneSessionFixture.h"

#include "platform/session/SessionMirror.h"

#include <algorithm>

// After a meeting the session holds its owner's values, whatever the owner did in the meeting; a
// crash of the home screen, a stop and the next boot then change nothing of it.
using namespace PhoneSessionFixtures;

namespace {

struct SessionState {
    uint32_t eventRole;
    std::string sink;
    std::string level;
    std::string banners;

    bool operator==(const SessionState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SessionState& state)
{
    return out << "event role " << state.eventRole << ", sink " << state.sink << ", level " << state.level << ", banners " << state.banners;
}

// What the owner does in the meeting, and how he answers the question about his ringer.
struct OwnersMeeting {
    const char* name;
    std::function<void(class AfterTheDayTest&)> act;
    // The session after the meeting, as far as it follows from the owner's doing.
    std::optional<uint32_t> eventRoleAfter;
};

void PrintTo(const OwnersMeeting& meeting, std::ostream* out)
{
    *out << meeting.name;
}

class AfterTheDayTest : public PhoneSessionTest, public ::testing::WithParamInterface<OwnersMeeting> {
public:
    SessionState session() { return { eventRole(), sinkVolume(), level(), banners() }; }
    // A command of the owner's at his session.
    void owner(const std::string& command) { m_session->run(command); }

    void raiseRingerAndAnswer(std::optional<int> answer)
    {
        setEventRole(39322);
        ASSERT_TRUE(eventually([&] { return state("alert").isDictionary(); })) << hostOutput();
        if (answer)
            ok({ "alert", "answer", std::to_string(*answer) });
    }

    void bootAt(const char* clock)
    {
        PhonectlResult booted = phonectl({ "boot", "--session", "--clock", clock, "--os", "10.3" });
        ASSERT_EQ(booted.status, 0) << booted.err;
    }

    // A meeting 09:00-10:00 with Do Not Disturb and the ringer at 0; the owner's ringer at 37 %,
    // his sink with its channels apart, banners shown, feedbackd at "full".
    void meetingRuns()
    {
        addEvent("Work", "Meeting", "09:00", "10:00");
        ownerHas(24248, "45875 32768");
        bootAt("2026-12-08T08:55:00");
        changeFirstProfile(R"({"dnDEnabled": true, "ringerVolume": 0})");
        ok({ "clock", "advance", "305" });
        ASSERT_TRUE(isApplied());
        ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0" && banners() == "false" && level() != "s \"full\""; })) << session();
    }
};

}

TEST_P(AfterTheDayTest, StopCrashAndTheNextBootChangeNothingAfterTheMeeting)
{
    meetingRuns();
    GetParam().act(*this);
    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    ASSERT_TRUE(eventually([&] { return sinkVolume() != "0 0" && banners() == "true"; })) << session();
    ok({ "clock", "advance", "5" });
    SessionState after = session();
    EXPECT_EQ(after.level, "s \"full\"") << "after the meeting the phone rings: " << after;
    if (GetParam().eventRoleAfter) {
        EXPECT_EQ(after.eventRole, *GetParam().eventRoleAfter);
    }
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); })) << "nothing is left to give back\n" << hostOutput();

    ASSERT_TRUE(killHomeScreenAndWaitForItsRestart());
    ok({ "clock", "advance", "5" });
    EXPECT_EQ(session(), after) << "a crash of the home screen";

    ok({ "stop" });
    m_booted = false;
    EXPECT_EQ(session(), after) << "a stop";

    bootAt("2026-12-08T11:00:00");
    ok({ "clock", "advance", "5" });
    EXPECT_EQ(session(), after) << "the next boot";
}

INSTANTIATE_TEST_SUITE_P(OwnersMeetings, AfterTheDayTest,
    ::testing::Values(OwnersMeeting { "NothingDone", [](AfterTheDayTest&) { }, 24248u },
        OwnersMeeting { "RingerRaisedNoThanks", [](AfterTheDayTest& t) { t.raiseRingerAndAnswer(1); }, 24248u },
        OwnersMeeting { "RingerRaisedYesPlease", [](AfterTheDayTest& t) { t.raiseRingerAndAnswer(0); }, 39322u },
        OwnersMeeting { "RingerRaisedUnanswered", [](AfterTheDayTest& t) { t.raiseRingerAndAnswer(std::nullopt); }, 24248u },
        OwnersMeeting { "SinkMoved", [](AfterTheDayTest& t) { t.owner("pactl set-sink-volume test_sink 30%"); }, 24248u },
        OwnersMeeting { "DoNotDisturbOff",
            [](AfterTheDayTest& t) { t.owner("gsettings set org.gnome.desktop.notifications show-banners true"); }, 24248u }),
    [](const ::testing::TestParamInfo<OwnersMeeting>& info) { return std::string(info.param.name); });

// A stop in a meeting gives the owner's values back; what he sets after it stays his, although
// the profile is still marked applied when the phone boots again.
TEST_F(PhoneSessionTest, AfterAStopInAMeetingTheNextBootLeavesWhatTheOwnerSetSince)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    changeFirstProfile(R"({"dnDEnabled": true})");
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0" && banners() == "false"; }));
    ok({ "stop" });
    m_booted = false;
    EXPECT_EQ(sinkVolume(), "45875 32768");
    EXPECT_FALSE(ownerRecordExists()) << "the stop gave everything back";

    m_session->run("gsettings set org.gnome.desktop.notifications show-banners false");
    m_session->run("pactl set-sink-volume test_sink 20%");
    const std::string sink = sinkVolume();
    bootLinked("2026-12-08T11:00:00");
    ok({ "clock", "advance", "5" });
    EXPECT_EQ(banners(), "false") << "the owner's Do Not Disturb stays on";
    EXPECT_EQ(sinkVolume(), sink);
    EXPECT_EQ(level(), "s \"full\"");
    EXPECT_TRUE(state("doNotDisturb").boolValue()) << "the phone takes the owner's Do Not Disturb";
}

namespace {

uint32_t firstChannel(const std::string& volume)
{
    return static_cast<uint32_t>(std::stoul(volume.substr(0, volume.find(' '))));
}

}

// Two networks' profiles one after the other: the session follows the phone at every step and
// gets its owner's media volume back at the end, not the first network's.
TEST_F(PhoneSessionTest, GoingStraightFromHomeToTheCafeEndsWithTheOwnersVolumes)
{
    ownerHas(24248, "45875 32768");
    auto home = PlistDictionary { { "identifier", int64_t(1000) }, { "title", "Home" }, { "enabled", true }, { "allDay", true },
        { "ringerVolume", 0.5 }, { "playBackVolume", 0.3 }, { "playAlert", true }, { "wifiNetworks", PlistArray { "Home" } } };
    auto cafe = home;
    cafe["identifier"] = int64_t(1001);
    cafe["title"] = "Cafe";
    cafe["playBackVolume"] = 0.1;
    cafe["wifiNetworks"] = PlistArray { "Cafe" };
    std::filesystem::create_directories(m_root / "var/mobile/Library/Preferences");
    ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist", PlistValue(PlistArray { home, cafe })));
    bootLinked();

    m_session->joinNetwork("Home");
    ASSERT_TRUE(eventually([&] { return isApplied(0); }));
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return firstChannel(sinkVolume()) == serverVolume(0.3f); })) << sinkVolume();

    m_session->joinNetwork("Cafe");
    ASSERT_TRUE(eventually([&] { return isApplied(1) && !isApplied(0); }));
    ok({ "clock", "advance", "5" });
    EXPECT_NEAR(state("mediaVolume").doubleValue(), 0.1, 1e-6);
    EXPECT_TRUE(eventually([&] { return firstChannel(sinkVolume()) == serverVolume(0.1f); })) << "the sink says what the phone says: " << sinkVolume();

    m_session->leaveNetwork();
    ASSERT_TRUE(eventually([&] { return !isApplied(1); }));
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768"; })) << sinkVolume();
    EXPECT_EQ(eventRole(), 24248u);
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); }));
}

// Headphones unplugged in a meeting: the speaker that becomes the default is silenced too, and at
// the end each sink gets its own owner's volume back.
TEST_F(PhoneSessionTest, AnotherDefaultSinkInAMeetingIsSilencedAndEverySinkGetsItsOwnVolumeBack)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    m_session->run("pactl load-module module-null-sink sink_name=headphones >/dev/null");
    m_session->run("pactl set-sink-volume headphones 26214 26214");
    m_session->run("pactl set-default-sink headphones");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());
    ASSERT_TRUE(eventually([&] { return m_session->sinkVolume("headphones") == "0 0"; })) << m_session->sinkVolume("headphones");

    m_session->run("pactl set-default-sink test_sink");
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "0 0"; })) << "the speaker gets the meeting's volume: " << sinkVolume();

    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768" && m_session->sinkVolume("headphones") == "26214 26214"; }))
        << sinkVolume() << " / " << m_session->sinkVolume("headphones");
    ok({ "clock", "advance", "5" });
    EXPECT_NEAR(state("mediaVolume").doubleValue(), 45875.0 / kNorm, 1e-6) << "the phone has the default sink's volume";
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); }));
}

// A crash of the home screen in a meeting: the restarted phone finds the meeting still running
// and keeps the session quiet throughout, without giving the owner's volumes back in between.
TEST_F(PhoneSessionTest, AHomeScreenRestartedInAMeetingKeepsTheSessionQuietThroughout)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0"; }));

    std::vector<uint32_t> heard;
    auto listener = SoundServer::connect({ .ownerChangedRinger = nullptr,
        .ownerChangedMedia = [&](uint32_t volume) { heard.push_back(volume); },
        .defaultSinkChanged = nullptr,
        .connectionChanged = nullptr });
    ASSERT_TRUE(NSRunLoop::main().runUntilCondition([&] { return listener->isConnected() && listener->mediaVolume(); }, 5));

    std::string first;
    ASSERT_TRUE(readFile(PhoneControl::launchedPath(m_root), first));
    kill(std::stoi(first), SIGKILL);
    ASSERT_TRUE(NSRunLoop::main().runUntilCondition([&] {
        std::string now;
        return readFile(PhoneControl::launchedPath(m_root), now) && now != first;
    }, 15));
    // What the sink did until the restarted phone had launched reaches the listener within two
    // round trips: the change's event comes before the first answer, the listener's read of the
    // sink before the second.
    for (int trip = 0; trip < 2; ++trip) {
        bool answered = false;
        listener->refreshEventRole([&] { answered = true; });
        ASSERT_TRUE(NSRunLoop::main().runUntilCondition([&] { return answered; }, 5));
    }
    ok({ "clock", "advance", "5" });
    ASSERT_TRUE(isApplied());
    EXPECT_EQ(sinkVolume(), "0 0");
    EXPECT_TRUE(std::all_of(heard.begin(), heard.end(), [](uint32_t volume) { return volume == 0; }))
        << "the sink went up to " << (heard.empty() ? 0 : *std::max_element(heard.begin(), heard.end())) << " during the restart";
    EXPECT_TRUE(ownerRecordExists()) << "the owner's values stay recorded while the meeting runs";
}

// Phosh 0.47 and later couple Do Not Disturb to feedbackd: show-banners going false makes Phosh
// remember the level and set "silent"; going true sets the remembered level back while the level
// is still "silent". A watcher of the key does the same here.
TEST_F(PhoneSessionTest, PhoshsDoNotDisturbCouplingNeitherFlapsNorEndsSilenced)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    const std::string get = "busctl --user get-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile | cut -d'\"' -f2";
    const std::string set = "busctl --user set-property org.sigxcpu.Feedback /org/sigxcpu/Feedback org.sigxcpu.Feedback Profile s";
    pid_t phosh = std::stoi(m_session->run("(remembered=full; gsettings monitor org.gnome.desktop.notifications show-banners | "
                                           "while read -r key value; do "
                                           "  if [ \"$value\" = false ]; then remembered=$(" + get + "); " + set + " silent; "
                                           "  elif [ \"$(" + get + ")\" = silent ]; then " + set + " \"$remembered\"; fi; "
                                           "done) >/dev/null 2>&1 & echo $!"));
    bootLinked();
    changeFirstProfile(R"({"dnDEnabled": true})");
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());
    ASSERT_TRUE(eventually([&] { return banners() == "false" && level() == "s \"silent\""; })) << level();

    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    EXPECT_TRUE(eventually([&] { return banners() == "true" && level() == "s \"full\"" && sinkVolume() == "45875 32768"; }))
        << banners() << " " << level() << " " << sinkVolume();
    ok({ "clock", "advance", "5" });
    EXPECT_EQ(level(), "s \"full\"") << "no flapping after the end";
    EXPECT_FALSE(state("ringerSwitchSilent").boolValue());
    EXPECT_EQ(eventRole(), 24248u);
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); }));
    kill(-phosh, SIGTERM);
    kill(phosh, SIGTERM);
}
