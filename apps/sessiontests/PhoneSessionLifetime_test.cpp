#include "apps/phonectl/PhoneSupervisor.h"
#include "apps/sessiontests/ForegroundRun.h"
#include "apps/testsupport/PhonectlFixture.h"

#include "platform/foundation/PropertyList.h"
#include "platform/session/testsupport/PrivateSession.h"

#include <gmock/gmock.h>

// How long a phone linked to a real session lives: it ends with the session and with the `run`
// that keeps it, it is the only one of its user, and it alone speaks to the service manager.
namespace {

using testing::HasSubstr;

// Time for a real process to act: an ASan build stops a phone (its revert included) slowly.
constexpr double kDeadline = 40;

class PhoneSessionLifetimeTest : public PhonectlFixture {
protected:
    void SetUp() override
    {
        PhonectlFixture::SetUp();
        m_session = PrivateSession::start({ .soundServer = true, .networkManager = false, .feedbackd = false });
    }

    void TearDown() override
    {
        if (m_booted)
            phonectl({ "stop" });
        m_booted = false;
        m_session.reset();
        // What the session bus had started and lost with it when a test killed it.
        for (pid_t orphan : m_orphans)
            endProcess(orphan, 5000, false);
        PhonectlFixture::TearDown();
    }

    std::filesystem::path beside(const std::string& suffix) const { return m_root.parent_path() / (m_root.filename().string() + suffix); }

    // A meeting from 09:00 that the phone, at 09:05, has silenced: the sink is at 0.
    void meetingUnderWay(NotifySocket& notify, ForegroundRun& run)
    {
        ASSERT_TRUE(eventually([&] { return notify.heard("READY=1") || run.status(); }, kDeadline)) << run.output();
        ASSERT_TRUE(eventually([&] {
            PhonectlResult asked = phonectl({ "state" });
            return asked.status == 0 && asked.out.find("\"soundServer\": true") != std::string::npos;
        })) << run.output();
        ok({ "clock", "advance", "5" });
        ASSERT_TRUE(eventually([&] { return m_session->sinkVolume() == "0 0"; })) << m_session->sinkVolume();
    }

    void ownerHasAMeeting()
    {
        addEvent("Work", "Meeting", "09:00", "10:00");
        m_session->run("pactl set-sink-volume test_sink 45875 32768");
    }

    // The supervisor of the phone at the root and everything it started (the host, the bus).
    std::vector<pid_t> phoneProcesses(const std::filesystem::path& root) const
    {
        auto supervisor = readProcessFile(PhoneControl::supervisorPath(root));
        if (!supervisor)
            return {};
        auto processes = descendantsOf(*supervisor);
        processes.push_back(*supervisor);
        return processes;
    }

    bool allGone(const std::vector<pid_t>& processes)
    {
        return std::all_of(processes.begin(), processes.end(), processGone);
    }

    // A crashed session: its bus dies at once. The services it had started go with the test.
    void killSessionBus()
    {
        pid_t bus = std::stoi(m_session->runTrimmed("busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus "
                                                    "GetConnectionUnixProcessID s org.freedesktop.DBus | cut -d' ' -f2"));
        m_orphans = descendantsOf(bus);
        kill(bus, SIGKILL);
    }

    // "u PID" of the process that holds the session's phone name, or the bus's refusal.
    std::string holderOfTheSessionsPhone() const
    {
        return m_session->runTrimmed("busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus "
                                     "GetConnectionUnixProcessID s com.velloq.hushline.Phone 2>&1 || true");
    }

    std::unique_ptr<PrivateSession> m_session;
    std::vector<pid_t> m_orphans;
};

}

TEST_F(PhoneSessionLifetimeTest, TheEndOfTheSessionBusStopsTheForegroundPhoneAndGivesTheSoundBack)
{
    ownerHasAMeeting();
    NotifySocket notify(beside(".notify"));
    ForegroundRun run(m_root, notify.path(), { "--clock", "2026-12-08T09:05:00" });
    meetingUnderWay(notify, run);
    auto phone = phoneProcesses(m_root);
    ASSERT_GE(phone.size(), 3u) << "a supervisor, a home screen and a bus";

    killSessionBus();
    ASSERT_TRUE(eventually([&] { return run.status().has_value(); }, kDeadline)) << run.output();
    EXPECT_EQ(run.status(), 0);
    EXPECT_THAT(run.output(), HasSubstr("the session ended"));
    EXPECT_TRUE(eventually([&] { return allGone(phone); }, kDeadline)) << "the phone ends with the session";
    EXPECT_FALSE(runningSupervisor(m_root));
    EXPECT_EQ(m_session->sinkVolume(), "45875 32768") << "the meeting's silence does not outlive the session";
}

// Do Not Disturb given back while the session's bus is already gone cannot land: the owner's value
// stays recorded for the phone's next start, while what did land (the sound server) is not.
TEST_F(PhoneSessionLifetimeTest, AWriteThatCannotReachTheEndedSessionStaysRecordedForTheNextStart)
{
    ownerHasAMeeting();
    NotifySocket notify(beside(".notify"));
    ForegroundRun run(m_root, notify.path(), { "--clock", "2026-12-08T08:55:00" });
    ASSERT_TRUE(eventually([&] { return notify.heard("READY=1") || run.status(); }, kDeadline)) << run.output();
    changeFirstProfile(R"({"dnDEnabled": true})");
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return m_session->sinkVolume() == "0 0"; })) << m_session->sinkVolume();
    ASSERT_TRUE(eventually([&] {
        return m_session->runTrimmed("gsettings get org.gnome.desktop.notifications show-banners") == "false";
    }));

    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(m_root / "var/lib/hushline-session/owner-values.plist"); }));
    killSessionBus();
    ASSERT_TRUE(eventually([&] { return run.status().has_value(); }, kDeadline)) << run.output();
    auto record = PropertyList::read(m_root / "var/lib/hushline-session/owner-values.plist");
    ASSERT_TRUE(record && record->isDictionary()) << "the owner's Do Not Disturb is kept\n"
                                                  << lastLinesOf(m_root / "var/log/springboard.log", 30)
                                                  << lastLinesOf(m_root / "tmp/velloq.log", 30) << lastLinesOf(m_root / "var/log/phone.log", 30);
    EXPECT_EQ((*record)["showBanners"], PlistValue(true));
    EXPECT_TRUE((*record)["mediaVolume"].isNone()) << "the sink got its value back";
    EXPECT_EQ(m_session->sinkVolume(), "45875 32768");
}

// A phone stopped under run (phonectl stop on its folder) ends run, which frees the session's name.
TEST_F(PhoneSessionLifetimeTest, APhoneStoppedUnderRunEndsRun)
{
    NotifySocket notify(beside(".notify"));
    ForegroundRun run(m_root, notify.path());
    ASSERT_TRUE(eventually([&] { return notify.heard("READY=1") || run.status(); }, kDeadline)) << run.output();
    ok({ "stop" });
    ASSERT_TRUE(eventually([&] { return run.status().has_value(); }, kDeadline)) << run.output();
    EXPECT_EQ(run.status(), 1);
    EXPECT_THAT(run.output(), HasSubstr("stopped; run ends with it"));
    EXPECT_THAT(holderOfTheSessionsPhone(), testing::Not(testing::StartsWith("u "))) << "the session's name is free for the next run";
}

TEST_F(PhoneSessionLifetimeTest, APhoneBootedForTheSessionHoldsItAndEndsWithIt)
{
    PhonectlResult booted = phonectl({ "boot", "--session", "--clock", "2026-12-08T08:55:00" });
    ASSERT_EQ(booted.status, 0) << booted.err;
    auto phone = phoneProcesses(m_root);
    EXPECT_EQ(holderOfTheSessionsPhone(), "u " + std::to_string(*runningSupervisor(m_root)));

    killSessionBus();
    bool gone = eventually([&] { return allGone(phone); }, kDeadline);
    EXPECT_TRUE(gone) << lastLinesOf(m_root / "var/log/phone.log", 5);
    m_booted = !gone;
}

TEST_F(PhoneSessionLifetimeTest, OneUserRunsOnePhoneWhoeverStartedIt)
{
    auto other = beside("-other");
    NotifySocket notify(beside(".notify"));
    {
        ForegroundRun run(m_root, notify.path());
        ASSERT_TRUE(eventually([&] { return notify.heard("READY=1") || run.status(); }, kDeadline)) << run.output();
        PhonectlResult second = phonectl({ "--root", other.string(), "boot", "--session" }, false);
        EXPECT_EQ(second.status, 1);
        EXPECT_THAT(second.err, HasSubstr("Hushline already runs for this user (process " + std::to_string(run.pid())));
        EXPECT_FALSE(runningSupervisor(other)) << "no second phone fights over the session";
        EXPECT_TRUE(runningSupervisor(m_root)) << "run's own boot --session was not refused";
        kill(run.pid(), SIGTERM);
        ASSERT_TRUE(eventually([&] { return run.status().has_value(); }, kDeadline));
        EXPECT_EQ(run.status(), 0) << run.output();
    }

    PhonectlResult booted = phonectl({ "boot", "--session" });
    ASSERT_EQ(booted.status, 0) << "the session is free once run has stopped: " << booted.err;
    PhonectlResult secondBoot = phonectl({ "--root", other.string(), "boot", "--session" }, false);
    EXPECT_EQ(secondBoot.status, 1);
    EXPECT_THAT(secondBoot.err, HasSubstr("Hushline already runs for this user"));
    ForegroundRun refusedRun(other, notify.path());
    ASSERT_TRUE(eventually([&] { return refusedRun.status().has_value(); }, kDeadline));
    EXPECT_EQ(refusedRun.status(), 1);
    EXPECT_THAT(refusedRun.output(), HasSubstr("Hushline already runs for this user"));

    ok({ "stop" });
    m_booted = false;
    EXPECT_THAT(holderOfTheSessionsPhone(), HasSubstr("no such name")) << "the name is given back with the phone";
    std::filesystem::remove_all(other);
}

TEST_F(PhoneSessionLifetimeTest, AKilledRunTakesItsPhoneWithItAndTheNextRunStartsAfresh)
{
    ownerHasAMeeting();
    NotifySocket notify(beside(".notify"));
    auto phone = std::make_unique<ForegroundRun>(m_root, notify.path(), std::vector<std::string> { "--clock", "2026-12-08T09:05:00" });
    meetingUnderWay(notify, *phone);
    auto processes = phoneProcesses(m_root);

    kill(phone->pid(), SIGKILL);
    EXPECT_TRUE(eventually([&] { return allGone(processes); }, kDeadline)) << lastLinesOf(m_root / "var/log/phone.log", 5);
    EXPECT_EQ(m_session->sinkVolume(), "45875 32768") << "the phone gave the sound back as it stopped";
    phone.reset();

    NotifySocket again(beside(".again"));
    ForegroundRun next(m_root, again.path());
    EXPECT_TRUE(eventually([&] { return again.heard("READY=1") || next.status(); }, kDeadline)) << next.output();
    EXPECT_FALSE(next.status()) << next.output();
}

TEST_F(PhoneSessionLifetimeTest, OnlyRunSpeaksToTheServiceManager)
{
    NotifySocket notify(beside(".notify"));
    ForegroundRun run(m_root, notify.path());
    ASSERT_TRUE(eventually([&] { return notify.heard("READY=1") || run.status(); }, kDeadline)) << run.output();
    auto processes = phoneProcesses(m_root);
    ASSERT_GE(processes.size(), 3u);
    for (pid_t process : processes)
        EXPECT_THAT(environmentNamesOf(process), testing::Not(testing::Contains("NOTIFY_SOCKET"))) << "process " << process;

    kill(run.pid(), SIGTERM);
    ASSERT_TRUE(eventually([&] { return run.status().has_value(); }, kDeadline));
    EXPECT_TRUE(notify.heard("STOPPING=1"));
    for (const auto& message : notify.received())
        EXPECT_EQ(message.sender, run.pid()) << message.text;
}

TEST_F(PhoneSessionLifetimeTest, TheSettingsLauncherTellsTheDesktopThatHushlineIsNotRunning)
{
    // Nothing on the session shows notifications: the message and the status still tell.
    PhonectlResult alone = phonectl({ "settings", "--notify" });
    EXPECT_EQ(alone.status, 1);
    EXPECT_THAT(alone.err, HasSubstr("Hushline is not running"));
    EXPECT_EQ(alone.out, "") << "no address for the browser to open";

    pid_t notifications = std::stoi(m_session->run("setsid /usr/bin/python3 -m dbusmock --template notification_daemon >/dev/null 2>&1 & "
                                                   "echo $!; gdbus wait --session --timeout 10 org.freedesktop.Notifications"));
    PhonectlResult told = phonectl({ "settings", "--notify" });
    EXPECT_EQ(told.status, 1);
    EXPECT_EQ(told.out, "");
    std::string calls = m_session->run(
        "busctl --user call org.freedesktop.Notifications /org/freedesktop/Notifications org.freedesktop.DBus.Mock GetCalls");
    EXPECT_THAT(calls, HasSubstr("\"Notify\""));
    EXPECT_THAT(calls, HasSubstr("\"Hushline is not running\""));
    EXPECT_THAT(calls, HasSubstr("systemctl --user start hushline"));
    kill(notifications, SIGTERM);
}
