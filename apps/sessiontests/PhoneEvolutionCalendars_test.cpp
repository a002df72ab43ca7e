#include "apps/sessiontests/PhoneSessionFixture.h"

#include "platform/eventkit/EKEventStore.h"
#include "platform/session/testsupport/GnomeCalendar.h"

#include <gmock/gmock.h>

#include <sstream>

// The calendars the session keeps in Evolution Data Server, changed as their owner changes them
// in GNOME Calendar, on a phone linked to the session: what the phone schedules, what it does to
// the session, what its other processes read.
using namespace PhoneSessionFixtures;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* kPersonal = "local-stub/system-calendar";

class PhoneEvolutionCalendarsTest : public PhoneSessionTest {
protected:
    PrivateSession::Options options() const override
    {
        return { .soundServer = true, .networkManager = false, .feedbackd = true, .evolutionDataServer = true };
    }

    void gnome(const std::vector<std::string>& command) { GnomeCalendar(*m_session).run(command); }
    void addEvent(const std::string& calendar, const std::string& uid, const std::string& title, const std::string& start,
        const std::string& end, const std::string& extra = "")
    {
        gnome({ "add-event", calendar, GnomeCalendar::event(uid, title, "2026-12-08T" + start + ":00", "2026-12-08T" + end + ":00", extra) });
    }

    std::filesystem::path mirrored(const std::string& calendar, const std::string& file = "") const
    {
        return m_root / "var/mobile/Calendars" / calendar / file;
    }
    bool fileHolds(const std::filesystem::path& path, const std::string& text) const
    {
        std::string content;
        return readFile(path, content) && content.find(text) != std::string::npos;
    }

    // Boots linked to the session once EDS has its calendars; the phone then reads them.
    void bootWithEvolution()
    {
        ownerHas(24248, "45875 45875");
        bootLinked();
        ASSERT_TRUE(eventually([&] { return std::filesystem::exists(mirrored(kPersonal, "displayname")); })) << hostOutput();
    }

    // What the owner changed has reached the mirror; the phone's debounced pass takes it in as its
    // clock goes on, until the phone shows it.
    void takeInCalendarChange(const std::function<bool()>& mirrorShows, const std::function<bool()>& phoneShows)
    {
        ASSERT_TRUE(eventually(mirrorShows)) << hostOutput();
        for (int step = 0; step < 5 && !phoneShows(); ++step) {
            ok({ "clock", "advance", "3" });
            eventually(phoneShows, 1);
        }
        ASSERT_TRUE(phoneShows()) << hostOutput();
    }
    void takeInCalendarChange(const std::function<bool()>& mirrorShows, const std::string& wakeUp)
    {
        takeInCalendarChange(mirrorShows, [&] { return wakeUps().find(wakeUp) != std::string::npos; });
    }

    std::string wakeUps() { return state("wakeUpTimers").description(); }
    size_t hostLogCount(const std::string& text) const
    {
        std::string log = hostOutput();
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size()))
            ++count;
        return count;
    }
    // The services of EDS the session bus started at the home screen's request: the host follows
    // EDS, it never starts it again after its owner stopped it.
    size_t evolutionStartsByHost() const { return evolutionStartsBy(hostPid()); }
    std::string hostPid() const
    {
        std::string pid;
        readFile(PhoneControl::launchedPath(m_root), pid);
        return pid.substr(0, pid.find('\n'));
    }
    size_t evolutionStartsBy(const std::string& pid) const
    {
        std::string busLog;
        readFile(m_session->dir() / "log/session-bus.log", busLog);
        size_t count = 0;
        std::istringstream lines(busLog);
        for (std::string line; std::getline(lines, line);)
            if (line.find("Activating service name='org.gnome.evolution.dataserver") != std::string::npos && line.find(" pid=" + pid + " ") != std::string::npos)
                ++count;
        return count;
    }
    bool linkedToEvolution()
    {
        const PlistValue session = state("session");
        return session["evolutionDataServer"].boolValue();
    }
};

}

TEST_F(PhoneEvolutionCalendarsTest, AMeetingAddedMovedAndDeletedInGnomeCalendarSilencesTheSessionAndGivesItBack)
{
    bootWithEvolution();
    changeFirstProfile(R"({"dnDEnabled": true, "ringerVolume": 0})");
    EXPECT_TRUE(linkedToEvolution());

    addEvent("system-calendar", "standup@example.com", "Standup", "09:00", "10:00");
    takeInCalendarChange([&] { return fileHolds(mirrored(kPersonal, "standup@example.com.ics"), "SUMMARY:Standup"); }, "09:00:00");
    EXPECT_THAT(ok({ "today" }), HasSubstr("\"Standup\" (Personal, 09:00-10:00)")) << "the shadow phone of today reads the same calendar";

    gnome({ "modify-event", "system-calendar", GnomeCalendar::event("standup@example.com", "Standup", "2026-12-08T09:30:00", "2026-12-08T10:30:00") });
    takeInCalendarChange([&] { return fileHolds(mirrored(kPersonal, "standup@example.com.ics"), "T093000"); }, "09:30:00");
    EXPECT_THAT(wakeUps(), Not(HasSubstr("09:00:00")));

    ok({ "clock", "set", "2026-12-08T09:30:00" });
    ASSERT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();
    EXPECT_TRUE(eventually([&] { return banners() == "false"; })) << "the meeting silences the session";

    gnome({ "remove-event", "system-calendar", "standup@example.com" });
    takeInCalendarChange([&] { return !std::filesystem::exists(mirrored(kPersonal, "standup@example.com.ics")); }, [&] { return !isApplied(); });
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return banners() == "true" && eventRole() == 24248; })) << "the owner's session is back";
}

TEST_F(PhoneEvolutionCalendarsTest, AWeeklyMeetingKeepsItsExceptionAndItsMovedOccurrence)
{
    bootWithEvolution();
    // Weekly on Tuesdays from 1 December; 8 December moved to 11:00, 15 December taken out.
    gnome({ "add-event", "system-calendar",
        GnomeCalendar::event("weekly", "Planning", "2026-12-01T09:00:00", "2026-12-01T10:00:00",
            "RRULE:FREQ=WEEKLY;COUNT=4\nEXDATE;TZID=Europe/Berlin:20261215T090000"),
        "--", "add-event", "system-calendar",
        GnomeCalendar::event("weekly", "Planning moved", "2026-12-08T11:00:00", "2026-12-08T12:00:00",
            "RECURRENCE-ID;TZID=Europe/Berlin:20261208T090000") });
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "weekly~20261208T090000.ics")); }, "11:00:00");
    EXPECT_TRUE(fileHolds(mirrored(kPersonal, "weekly.ics"), "RRULE")) << "the master keeps its rule in a file of its own";
    EXPECT_THAT(wakeUps(), Not(HasSubstr("09:00:00"))) << "today's occurrence was moved away from 09:00";
    EXPECT_THAT(ok({ "today", "--date", "2026-12-15" }), Not(HasSubstr("Planning"))) << "the exception";
    EXPECT_THAT(ok({ "today", "--date", "2026-12-22" }), HasSubstr("\"Planning\" (Personal, 09:00-10:00)"));

    ok({ "clock", "set", "2026-12-08T11:00:00" });
    EXPECT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();
}

TEST_F(PhoneEvolutionCalendarsTest, TheAttendanceFilterReadsTheOwnersAnswerAndACancelledEventIsNone)
{
    gnome({ "add-identity", "me", "me@example.com" });
    bootWithEvolution();
    changeFirstProfile(R"({"applyProfileEventStatus": 1})");
    const std::string invited = "ORGANIZER:mailto:boss@example.com\nATTENDEE;PARTSTAT=ACCEPTED:mailto:boss@example.com\n";
    addEvent("system-calendar", "declined", "Board", "09:00", "10:00", invited + "ATTENDEE;PARTSTAT=DECLINED:mailto:me@example.com");
    addEvent("system-calendar", "cancelled", "Offsite", "10:00", "11:00", "STATUS:CANCELLED");
    addEvent("system-calendar", "accepted", "Review", "11:00", "12:00", invited + "ATTENDEE;PARTSTAT=ACCEPTED:mailto:me@example.com");
    takeInCalendarChange([&] {
        return std::filesystem::exists(mirrored(kPersonal, "declined.ics")) && std::filesystem::exists(mirrored(kPersonal, "cancelled.ics"))
            && std::filesystem::exists(mirrored(kPersonal, "accepted.ics"));
    }, "11:00:00");
    EXPECT_TRUE(fileHolds(mirrored(kPersonal, "declined.ics"), "X-HUSHLINE-PARTICIPATION:DECLINED"));
    std::string timers = wakeUps();
    EXPECT_THAT(timers, HasSubstr("11:00:00")) << "the accepted meeting is the first the profile follows";
    EXPECT_THAT(timers, Not(HasSubstr("09:00:00")));
    EXPECT_THAT(timers, Not(HasSubstr("10:00:00")));
    ok({ "clock", "set", "2026-12-08T09:05:00" });
    EXPECT_FALSE(isApplied()) << "the declined meeting";
}

TEST_F(PhoneEvolutionCalendarsTest, ASecondAccountIsGroupedUnderItsNameAndADisabledCalendarLeaves)
{
    gnome({ "add-account", "nextcloud", "Nextcloud", "--", "add-calendar", "team", "Team", "nextcloud", "rgb(98,160,234)" });
    addEvent("team", "retro", "Retro", "09:00", "10:00");
    bootWithEvolution();
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored("nextcloud/team", "retro.ics")); }, "09:00:00");

    auto store = EKEventStore::init();
    auto team = store->calendarWithIdentifier("nextcloud/team");
    ASSERT_TRUE(team);
    EXPECT_EQ(team->title(), "Team");
    EXPECT_EQ(team->color(), "#62A0EA");
    EXPECT_EQ(team->source()->title(), "Nextcloud");
    EXPECT_TRUE(team->allowsContentModifications());
    EXPECT_EQ(store->calendarWithIdentifier(kPersonal)->source()->title(), "On This Computer");

    gnome({ "set-calendar", "team", "title", "Team Berlin" });
    ASSERT_TRUE(eventually([&] { return fileHolds(mirrored("nextcloud/team", "displayname"), "Team Berlin"); })) << "renamed, same identifier";

    gnome({ "set-calendar", "team", "enabled", "false" });
    takeInCalendarChange([&] { return !std::filesystem::exists(mirrored("nextcloud")); }, [&] { return ok({ "today" }).find("Retro") == std::string::npos; });
    ok({ "clock", "set", "2026-12-08T09:00:05" });
    EXPECT_FALSE(isApplied());
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal))) << "the other calendars stay";
}

TEST_F(PhoneEvolutionCalendarsTest, TwoCalendarsHoldingOneEventKeepTheirOwnCopies)
{
    gnome({ "add-calendar", "work", "Work" });
    addEvent("system-calendar", "shared", "Offsite", "09:00", "10:00");
    addEvent("work", "shared", "Offsite", "09:00", "11:00");
    bootWithEvolution();
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored("local-stub/work", "shared.ics")); }, "09:00:00");
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal, "shared.ics")));
    ok({ "clock", "set", "2026-12-08T09:00:00" });
    ASSERT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();

    gnome({ "remove-event", "system-calendar", "shared" });
    takeInCalendarChange([&] { return !std::filesystem::exists(mirrored(kPersonal, "shared.ics")); }, [&] { return isApplied(); });
    EXPECT_TRUE(std::filesystem::exists(mirrored("local-stub/work", "shared.ics")));
    ok({ "clock", "set", "2026-12-08T10:30:00" });
    EXPECT_TRUE(isApplied()) << "the copy of the other calendar still runs";
    ok({ "clock", "set", "2026-12-08T11:00:05" });
    EXPECT_TRUE(eventually([&] { return !isApplied(); }));
}

TEST_F(PhoneEvolutionCalendarsTest, EvolutionKilledMidMeetingLeavesTheMeetingAndIsFollowedWhenBack)
{
    addEvent("system-calendar", "meeting", "Meeting", "09:00", "10:00");
    bootWithEvolution();
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "meeting.ics")); }, "09:00:00");
    ok({ "clock", "set", "2026-12-08T09:00:00" });
    ASSERT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();

    // EDS keeps the event on disk before it is killed, or its restart has lost it.
    ASSERT_TRUE(eventually([&] { return fileHolds(m_session->dir() / "home/.local/share/evolution/calendar/system/calendar.ics", "UID:meeting"); }, 60));
    m_session->killEvolutionDataServer();
    ASSERT_TRUE(eventually([&] { return hostLogCount("Evolution Data Server left the session bus") == 1; })) << hostOutput();
    ok({ "clock", "set", "2026-12-08T09:30:00" });
    EXPECT_TRUE(isApplied()) << "the meeting goes on";
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal, "meeting.ics")));
    EXPECT_FALSE(linkedToEvolution());

    // GNOME Calendar's next change starts EDS again; the phone hears of it from the bus.
    addEvent("system-calendar", "later", "Later", "11:00", "12:00");
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(mirrored(kPersonal, "later.ics")); })) << hostOutput();
    EXPECT_TRUE(linkedToEvolution());
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal, "meeting.ics")));
    ok({ "clock", "set", "2026-12-08T10:00:05" });
    EXPECT_TRUE(eventually([&] { return !isApplied(); }));
    takeInCalendarChange([] { return true; }, "11:00:00");
    EXPECT_EQ(evolutionStartsByHost(), 0u);
}

TEST_F(PhoneEvolutionCalendarsTest, APhoneStartedAgainLaunchesOnItsMirrorAndTakesInWhatChangedWhileItWasOff)
{
    addEvent("system-calendar", "standup", "Standup", "09:00", "10:00");
    bootWithEvolution();
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "standup.ics")); }, "09:00:00");
    ok({ "stop" });
    m_booted = false;

    // While the phone is off its owner moves the standup and adds a review.
    gnome({ "modify-event", "system-calendar", GnomeCalendar::event("standup", "Standup", "2026-12-08T09:30:00", "2026-12-08T10:30:00") });
    addEvent("system-calendar", "review", "Review", "11:00", "12:00");
    bootLinked();
    takeInCalendarChange([&] { return fileHolds(mirrored(kPersonal, "standup.ics"), "T093000") && std::filesystem::exists(mirrored(kPersonal, "review.ics")); },
        "09:30:00");
    EXPECT_THAT(wakeUps(), Not(HasSubstr("09:00:00")));
    EXPECT_TRUE(linkedToEvolution());

    // And it goes on following GNOME Calendar.
    gnome({ "remove-event", "system-calendar", "review" });
    ASSERT_TRUE(eventually([&] { return !std::filesystem::exists(mirrored(kPersonal, "review.ics")); })) << hostOutput();
}

TEST_F(PhoneEvolutionCalendarsTest, APhoneStoppedWhileEvolutionIsDownLeavesItDown)
{
    addEvent("system-calendar", "meeting", "Meeting", "09:00", "10:00");
    bootWithEvolution();
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(mirrored(kPersonal, "meeting.ics")); })) << hostOutput();
    std::string pid = hostPid();
    m_session->killEvolutionDataServer();
    ASSERT_TRUE(eventually([&] { return hostLogCount("Evolution Data Server left the session bus") == 1; })) << hostOutput();
    ok({ "stop" });
    m_booted = false;
    EXPECT_EQ(evolutionStartsBy(pid), 0u) << "the phone's last words to the calendar factory went to nobody";
    EXPECT_THAT(hostOutput(), HasSubstr("SpringBoard: stopped by signal"));
    EXPECT_THAT(hostOutput(), Not(HasSubstr("LeakSanitizer")));
}

class PhoneWithoutEvolutionTest : public PhoneEvolutionCalendarsTest {
protected:
    PrivateSession::Options options() const override { return { .soundServer = true, .networkManager = false, .feedbackd = true }; }
};

TEST_F(PhoneWithoutEvolutionTest, WithoutEvolutionTheVdirCalendarsWorkAndEvolutionIsReadOnceItStarts)
{
    PhonectlFixture::addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 45875");
    bootLinked();
    ASSERT_TRUE(eventually([&] { return hostLogCount("Evolution Data Server is not on the session bus") == 1; })) << hostOutput();
    EXPECT_FALSE(linkedToEvolution());
    EXPECT_THAT(wakeUps(), HasSubstr("09:00:00")) << "the vdir calendar is read as before";

    m_session->installEvolutionDataServer();
    addEvent("system-calendar", "late", "Late", "11:00", "12:00");
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(mirrored(kPersonal, "late.ics")); })) << hostOutput();
    EXPECT_TRUE(linkedToEvolution());
    EXPECT_EQ(hostLogCount("Evolution Data Server is not on the session bus"), 1u) << "said once";
    EXPECT_THAT(ok({ "today" }), HasSubstr("\"Late\" (Personal")) << "a calendar of the phone from now on, for a profile to choose";
}

TEST_F(PhoneEvolutionCalendarsTest, OnlyTheHomeScreenLinksEvolutionsLibrary)
{
    bootWithEvolution();
    std::string pid;
    ASSERT_TRUE(readFile(PhoneControl::launchedPath(m_root), pid));
    pid = pid.substr(0, pid.find('\n'));
    std::string maps;
    ASSERT_TRUE(readFile("/proc/" + pid + "/maps", maps));
    EXPECT_NE(maps.find("libecal-2.0"), std::string::npos) << "the home screen reads EDS";

    auto links = [&](const std::filesystem::path& program) { return m_session->run("ldd " + program.string()).find("libecal") != std::string::npos; };
    std::filesystem::path hosts = std::filesystem::read_symlink("/proc/" + pid + "/exe").parent_path();
    EXPECT_FALSE(links(hosts / "Settings"));
    EXPECT_FALSE(links(HUSHLINE_PHONECTL)) << "nor the shadow phone of today, which phonectl runs";
}
