#include "apps/sessiontests/PhoneSessionFixture.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/machinery/ChildProcess.h"
#include "platform/session/SoundServer.h"
#include "platform/session/testsupport/PrivateSession.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>

// The phone linked to a real session (private buses, a real PulseAudio, feedbackd and dconf,
// NetworkManager's mock), driven by phonectl on the virtual clock while the session is real.
using namespace PhoneSessionFixtures;

TEST_F(PhoneSessionTest, AMeetingSilencesTheSessionAndItsEndGivesBackExactlyTheOwnersValues)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    changeFirstProfile(R"({"dnDEnabled": true})");
    const PlistValue linked = state("session");
    EXPECT_TRUE(linked["feedbackd"].boolValue());
    EXPECT_TRUE(linked["soundServer"].boolValue());
    EXPECT_FALSE(linked["notifications"].boolValue()) << "no notification server runs in this session";
    EXPECT_TRUE(linked["gsettings"].boolValue());
    EXPECT_TRUE(linked["networkManager"].boolValue());
    EXPECT_NEAR(state("ringerVolume").doubleValue(), 24248.0 / kNorm, 1e-6) << "the phone's ringer is the session's";
    EXPECT_NEAR(state("mediaVolume").doubleValue(), 0.7, 1e-3);

    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "0 0"; })) << sinkVolume();
    EXPECT_EQ(eventRole(), kNorm / 16);
    EXPECT_EQ(level(), "s \"full\"") << "a ringer above 0 on the ring switch rings";
    EXPECT_EQ(banners(), "false");
    EXPECT_TRUE(ownerRecordExists());

    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768"; })) << sinkVolume();
    EXPECT_EQ(eventRole(), 24248u);
    EXPECT_EQ(level(), "s \"full\"");
    EXPECT_EQ(banners(), "true");
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); })) << "nothing left to give back";
}

TEST_F(PhoneSessionTest, AProfileWithTheRingerAtZeroQuietsFeedbackdAndKeepsTheRingForOneTap)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(32768, "32768 32768");
    bootLinked();
    changeFirstProfile(R"({"ringerVolume": 0, "vibrate": true})");
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());
    EXPECT_TRUE(eventually([&] { return level() == "s \"quiet\""; })) << level();
    EXPECT_EQ(eventRole(), 32768u) << "a ringer of 0 leaves the event role as it was";

    ok({ "clock", "advance", "3600" });
    EXPECT_TRUE(eventually([&] { return level() == "s \"full\""; })) << level();
    EXPECT_EQ(eventRole(), 32768u);
}

TEST_F(PhoneSessionTest, TheOwnersOwnLevelDuringAMeetingEntersThePhoneAsTheSwitch)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(32768, "32768 32768");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());
    ownerSetsLevel("silent");
    ASSERT_TRUE(eventually([&] { return state("ringerSwitchSilent").boolValue(); }));
    EXPECT_FALSE(state("silentVibrate").boolValue());
    EXPECT_EQ(level(), "s \"silent\"") << "the phone does not undo the owner's switch";

    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    EXPECT_EQ(level(), "s \"silent\"") << "the switch is the owner's and stays where he put it";
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "32768 32768"; })) << sinkVolume();
}

TEST_F(PhoneSessionTest, AHomeScreenKilledMidMeetingLeavesTheSessionWithTheOwnersValues)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());
    ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0"; }));

    ASSERT_TRUE(killHomeScreenAndWaitForItsRestart());
    ok({ "clock", "advance", "3600" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768"; })) << sinkVolume();
    EXPECT_EQ(eventRole(), 24248u);
    EXPECT_EQ(banners(), "true");
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); }));
}

TEST_F(PhoneSessionTest, ARebootMidMeetingGivesTheOwnersValuesBackAtTheNextStart)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0"; }));
    // Everything of the phone is killed; the sound server restarts with what it stored.
    std::string supervisor;
    ASSERT_TRUE(readFile(PhoneControl::supervisorPath(m_root), supervisor));
    std::string host;
    ASSERT_TRUE(readFile(PhoneControl::launchedPath(m_root), host));
    kill(std::stoi(supervisor), SIGKILL);
    kill(std::stoi(host), SIGKILL);
    m_booted = false;
    ASSERT_TRUE(eventually([&] { return kill(std::stoi(host), 0) != 0; }));
    m_sound.reset();
    m_session->stopSoundServer();
    m_session->startSoundServer();
    m_session->killDconf();
    EXPECT_EQ(sinkVolume(), "0 0") << "the session kept the meeting's values";

    bootLinked("2026-12-08T10:30:00");
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768" && banners() == "true"; })) << sinkVolume();
    EXPECT_EQ(eventRole(), 24248u);
    EXPECT_TRUE(eventually([&] { return !ownerRecordExists(); })) << "once the writes landed nothing is left to give back";
}

TEST_F(PhoneSessionTest, StoppingThePhoneMidMeetingGivesTheSessionBack)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0"; }));
    ok({ "stop" });
    m_booted = false;
    EXPECT_EQ(sinkVolume(), "45875 32768") << hostOutput();
    EXPECT_EQ(eventRole(), 24248u);
    EXPECT_EQ(banners(), "true");
}

TEST_F(PhoneSessionTest, JoiningHomeAppliesItsProfileAndASuspendChangesNothing)
{
    ownerHas(32768, "32768 32768");
    m_session->addSavedNetwork("Office");
    bootLinked();
    changeFirstProfile(R"({"wifiNetworks": ["Home"], "playAlert": false})");
    m_session->joinNetwork("Home");
    ASSERT_TRUE(eventually([&] { return isApplied(); }));
    const PlistValue wifi = state("wifi");
    EXPECT_EQ(wifi["current"], PlistValue("Home"));
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "0 0"; }));

    m_session->setNetworkManagerAsleep(true);
    m_session->setNetworkManagerAsleep(false);
    ok({ "clock", "advance", "60" });
    EXPECT_TRUE(isApplied()) << "a suspend is no change of network";

    m_session->leaveNetwork();
    ASSERT_TRUE(eventually([&] { return !isApplied(); }));
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "32768 32768"; })) << sinkVolume();
}

TEST_F(PhoneSessionTest, CommandsStandingInForTheSessionsHardwareAreRefused)
{
    bootLinked();
    for (std::vector<std::string> command : { std::vector<std::string> { "wifi", "join", "Home" }, { "press", "volume-up" },
             { "volume", "ringer", "0.5" }, { "dnd", "on" } }) {
        PhonectlResult refused = phonectl(command);
        EXPECT_EQ(refused.status, 1) << command[0];
        EXPECT_NE(refused.err.find("linked to your session"), std::string::npos) << refused.err;
    }
    EXPECT_EQ(phonectl({ "vibrate", "ring", "on" }).status, 0) << "vibrate on ring is the phone's own";
}

TEST_F(PhoneSessionTest, TheSettingsAppAndALookAtTodayNeverTouchTheSession)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    PhonectlResult booted = phonectl({ "boot", "--clock", "2026-12-08T08:55:00" });
    ASSERT_EQ(booted.status, 0) << booted.err;
    ok({ "today" });
    ok({ "settings" });
    // Nothing asked feedbackd or dconf (both start on the first call) or the sound server.
    EXPECT_EQ(m_session->run("busctl --user list --acquired --no-legend | grep -c -e org.sigxcpu.Feedback -e ca.desrt.dconf || true"), "0\n");
    EXPECT_EQ(m_session->runTrimmed("pactl list short clients | grep -vc pactl || true"), "0");
}

TEST_F(PhoneSessionWithoutFeedbackdTest, ASessionWithoutFeedbackdStillSilencesTheVolumes)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    changeFirstProfile(R"({"ringerVolume": 0})");
    const PlistValue linked = state("session");
    EXPECT_FALSE(linked["feedbackd"].boolValue());
    EXPECT_TRUE(linked["soundServer"].boolValue());
    ok({ "clock", "advance", "305" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "0 0"; }));
    EXPECT_TRUE(eventually([&] { return eventRole() == 0; })) << "without feedbackd the event role carries a ringer of 0";
    ok({ "clock", "advance", "3600" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768"; }));
    EXPECT_TRUE(eventually([&] { return eventRole() == 24248u; }));
    std::string hostLog;
    readFile(m_root / "var/log/springboard.log", hostLog);
    std::string velloq;
    readFile(m_root / "tmp/velloq.log", velloq);
    EXPECT_NE((hostLog + velloq).find("feedbackd is not on the session bus"), std::string::npos);
}

namespace {

// A datagram socket standing in for the service manager's notify socket.
class NotifySocket {
public:
    explicit NotifySocket(const std::filesystem::path& path)
        : m_path(path)
    {
        m_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~NotifySocket()
    {
        close(m_fd);
        std::filesystem::remove(m_path);
    }
    // Everything received so far.
    std::string received()
    {
        char buffer[512];
        ssize_t n;
        while ((n = recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            m_received.append(buffer, static_cast<size_t>(n)).push_back('\n');
        return m_received;
    }

private:
    std::filesystem::path m_path;
    int m_fd { -1 };
    std::string m_received;
};

pid_t spawnPhonectl(std::vector<std::string> arguments, const std::filesystem::path& output)
{
    // What it says goes to the output, which starts empty.
    std::ofstream(output, std::ios::trunc);
    ChildOptions phonectl;
    phonectl.argv = std::move(arguments);
    phonectl.argv.insert(phonectl.argv.begin(), HUSHLINE_PHONECTL);
    phonectl.log = output;
    phonectl.dieWithParent = false;
    return startChild(phonectl);
}

int exitStatus(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}

TEST_F(PhoneSessionTest, TheForegroundPhoneIsReadyWhenLinkedRunsOncePerUserAndStopsOnSigterm)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "70% 50%");
    NotifySocket notify(m_root.parent_path() / (m_root.filename().string() + ".notify"));
    setenv("NOTIFY_SOCKET", (m_root.parent_path() / (m_root.filename().string() + ".notify")).c_str(), 1);
    auto output = m_root.parent_path() / (m_root.filename().string() + ".run");
    pid_t phone = spawnPhonectl({ "--root", m_root.string(), "run", "--session", "--clock", "2026-12-08T09:05:00" }, output);
    unsetenv("NOTIFY_SOCKET");
    ASSERT_TRUE(eventually([&] { return notify.received().find("READY=1") != std::string::npos; }, 30));
    // Asked until the link to the sound server shows; a refusal on the way is asked again, and
    // the last one is told with the phone's own output.
    PhonectlResult asked;
    bool linked = eventually([&] {
        asked = phonectl({ "state" });
        return asked.status == 0 && asked.out.find("\"soundServer\": true") != std::string::npos;
    });
    std::string early;
    readFile(output, early);
    ASSERT_TRUE(linked) << asked.err << asked.out << early;
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "0 0"; })) << "the meeting runs";

    auto second = m_root.parent_path() / (m_root.filename().string() + ".second");
    pid_t again = spawnPhonectl({ "--root", (m_root.string() + "-other"), "run", "--session" }, second);
    EXPECT_EQ(exitStatus(again), 1);
    std::string refused;
    readFile(second, refused);
    EXPECT_NE(refused.find("already runs for this user"), std::string::npos) << refused;
    std::filesystem::remove(second);

    kill(phone, SIGTERM);
    EXPECT_EQ(exitStatus(phone), 0);
    std::string said;
    readFile(output, said);
    std::filesystem::remove(output);
    EXPECT_FALSE(std::filesystem::exists(PhoneControl::supervisorPath(m_root))) << said;
    EXPECT_EQ(sinkVolume(), "45875 32768") << "stopped with the owner's values given back";
    EXPECT_EQ(banners(), "true");
}

TEST_F(PhoneSessionTest, TheQuestionAboutTheOwnersRingerIsADesktopNotificationWhoseAnswerIsTheAlertsButton)
{
    pid_t notifications = std::stoi(m_session->run("setsid /usr/bin/python3 -m dbusmock --template notification_daemon >/dev/null 2>&1 & "
                                                   "echo $!; gdbus wait --session --timeout 10 org.freedesktop.Notifications"));
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "70% 50%");
    PhonectlResult booted = phonectl({ "boot", "--session", "--clock", "2026-12-08T08:55:00", "--os", "10.3" });
    ASSERT_EQ(booted.status, 0) << booted.err;
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(isApplied());

    // The owner turns his ringer up on the session in the meeting.
    setEventRole(32768);
    const char* calls = "busctl --user call org.freedesktop.Notifications /org/freedesktop/Notifications org.freedesktop.DBus.Mock GetCalls";
    ASSERT_TRUE(eventually([&] { return m_session->run(calls).find("You changed ringtone volume") != std::string::npos; }))
        << m_session->run(calls) << hostOutput();
    EXPECT_TRUE(state("alert").isDictionary());

    m_session->run("busctl --user call org.freedesktop.Notifications /org/freedesktop/Notifications org.freedesktop.DBus.Mock EmitSignal "
                   "sssav org.freedesktop.Notifications ActionInvoked us 2 u 1 s 0");
    ASSERT_TRUE(eventually([&] { return state("alert") == PlistValue("<null>"); })) << "\"Yes, please\" answered the alert";
    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    EXPECT_EQ(eventRole(), 32768u) << "the volume the owner chose in the meeting is kept";
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768"; }));
    kill(notifications, SIGTERM);
}

// Vibration cannot be felt here: the bus shows what feedbackd is asked, in the phone's order.
TEST_F(PhoneSessionTest, TheEndsVibrationReachesFeedbackdAfterTheOwnersLevelIsBack)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "70% 50%");
    bootLinked();
    changeFirstProfile(R"({"ringerVolume": 0})");
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return level() != "s \"full\""; })) << level();

    auto monitorLog = m_session->dir() / "monitor.log";
    pid_t monitor = std::stoi(m_session->run("dbus-monitor --session \"type='method_call',interface='org.sigxcpu.Feedback'\" "
                                             "\"type='method_call',interface='org.freedesktop.DBus.Properties',member='Set'\" > "
                                             + monitorLog.string() + " 2>&1 & echo $!"));
    ASSERT_TRUE(eventually([&] {
        std::string text;
        return readFile(monitorLog, text) && !text.empty();
    }));
    ok({ "clock", "advance", "3600" });
    ASSERT_FALSE(isApplied());
    std::string calls;
    ASSERT_TRUE(eventually([&] { return readFile(monitorLog, calls) && calls.find("member=TriggerFeedback") != std::string::npos; })) << calls;
    kill(monitor, SIGTERM);
    size_t full = calls.find("string \"full\"");
    size_t vibration = calls.find("member=TriggerFeedback");
    ASSERT_NE(full, std::string::npos) << calls;
    EXPECT_LT(full, vibration) << "the level is back before the end's vibration, which a lower level would swallow\n" << calls;
    EXPECT_NE(calls.find("string \"message-new-instant\"", vibration), std::string::npos);
}

TEST_F(PhoneSessionTest, TheOwnersVdirCalendarsAreReadInPlaceAndAWrongFolderIsAClearError)
{
    PhonectlResult missing = phonectl({ "boot", "--session", "--calendars", (m_root.string() + "-nowhere") });
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no such folder"), std::string::npos) << missing.err;
    // A folder not synced yet is linked with a warning, beside the owner's account.
    auto empty = m_root.parent_path() / (m_root.filename().string() + "-empty");
    std::filesystem::create_directories(empty);

    // A vdir folder as vdirsyncer keeps it: one sub-folder per calendar, one file per event.
    auto account = m_root.parent_path() / (m_root.filename().string() + "-Nextcloud");
    std::filesystem::create_directories(account / "work");
    ASSERT_TRUE(writeFileAtomically(account / "work" / "standup.ics",
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//vdirsyncer//EN\r\nBEGIN:VEVENT\r\nUID:standup@example.org\r\nDTSTAMP:20261201T080000Z\r\n"
        "DTSTART;TZID=Europe/Berlin:20261208T090000\r\nDTEND;TZID=Europe/Berlin:20261208T093000\r\nSUMMARY:Standup\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n"));
    ownerHas(32768, "50% 50%");
    PhonectlResult booted = phonectl({ "boot", "--session", "--calendars", account.string(), "--calendars", empty.string(), "--clock",
        "2026-12-08T08:55:00" });
    ASSERT_EQ(booted.status, 0) << booted.err;
    EXPECT_NE(booted.err.find("phonectl: warning: --calendars " + empty.string() + " holds no calendar yet"), std::string::npos) << booted.err;
    ok({ "clock", "advance", "305" });
    EXPECT_TRUE(isApplied()) << "the standup from the owner's folder silences the phone";
    EXPECT_TRUE(std::filesystem::is_symlink(m_root / "var/mobile/Calendars" / account.filename()));
    ok({ "stop" });
    m_booted = false;
    std::filesystem::remove_all(account);
    std::filesystem::remove_all(empty);
}

TEST_F(PhoneSessionTest, ASoundServerThatAnswersOnlyAfterTheStartKeepsTheOwnersVolumes)
{
    ownerHas(24248, "70% 50%");
    m_sound.reset();
    m_session->stopSoundServer();
    bootLinked();
    auto soundLinked = [&] {
        const PlistValue linked = state("session");
        return linked["soundServer"].boolValue();
    };
    EXPECT_FALSE(soundLinked());
    m_session->startSoundServer();
    ASSERT_TRUE(eventually(soundLinked));
    EXPECT_TRUE(eventually([&] { return std::abs(state("ringerVolume").doubleValue() - 24248.0 / kNorm) < 1e-6; }))
        << "the phone takes the session's ringer";
    EXPECT_EQ(sinkVolume(), "45875 32768") << "and does not push its own volumes over the owner's";
    EXPECT_EQ(eventRole(), 24248u);
}
