#include "apps/sessiontests/PhoneSessionFixture.h"

#include "platform/eventkit/EKEventStore.h"
#include "platform/session/testsupport/GnomeCalendar.h"

#include <gmock/gmock.h>

// The calendars the session keeps in Evolution Data Server, changed as their owner changes them
// in GNOME Calendar, on a phone linked to the session: what the phone schedules, what it does to
// the session, what its other processes read.
using namespace PhoneSessionFixtures;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* kPersonal = "local-stub/system-calendar";
constexpr const char* kHandled = "***************** Handling event store changes ********************";

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

    // What the owner changed has reached the mirror: the phone's debounced pass takes it in, on the
    // phone's clock.
    void takeInCalendarChange(const std::function<bool()>& mirrorShows)
    {
        ASSERT_TRUE(eventually(mirrorShows)) << hostOutput();
        size_t before = homeScreenLogCount(kHandled);
        for (int step = 0; step < 10 && homeScreenLogCount(kHandled) == before; ++step) {
            ok({ "clock", "advance", "3" });
            eventually([&] { return homeScreenLogCount(kHandled) > before; }, 0.5);
        }
        ASSERT_GT(homeScreenLogCount(kHandled), before) << hostOutput();
    }

    std::string wakeUps() { return state("wakeUpTimers").description(); }
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
    changeFirstProfile(R"({"ringerVolume": 0})");
    EXPECT_TRUE(linkedToEvolution());

    addEvent("system-calendar", "standup@example.com", "Standup", "09:00", "10:00");
    takeInCalendarChange([&] { return fileHolds(mirrored(kPersonal, "standup@example.com.ics"), "SUMMARY:Standup"); });
    EXPECT_THAT(wakeUps(), HasSubstr("09:00:00"));
    EXPECT_THAT(ok({ "today" }), HasSubstr("\"Standup\" (Personal)")) << "the shadow phone of today reads the same calendar";

    gnome({ "modify-event", "system-calendar", GnomeCalendar::event("standup@example.com", "Standup", "2026-12-08T09:30:00", "2026-12-08T10:30:00") });
    takeInCalendarChange([&] { return fileHolds(mirrored(kPersonal, "standup@example.com.ics"), "T093000"); });
    EXPECT_THAT(wakeUps(), HasSubstr("09:30:00"));
    EXPECT_THAT(wakeUps(), Not(HasSubstr("09:00:00")));

    ok({ "clock", "set", "2026-12-08T09:30:00" });
    ASSERT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();
    EXPECT_TRUE(eventually([&] { return eventRole() == 0; })) << "the meeting silences the session";

    gnome({ "remove-event", "system-calendar", "standup@example.com" });
    takeInCalendarChange([&] { return !std::filesystem::exists(mirrored(kPersonal, "standup@example.com.ics")); });
    EXPECT_TRUE(eventually([&] { return !isApplied(); })) << "deleted mid-meeting, the profile goes";
    ok({ "clock", "advance", "5" });
    EXPECT_TRUE(eventually([&] { return eventRole() == 24248; })) << "the owner's ringer is back";
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
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "weekly~20261208T090000.ics")); });
    EXPECT_TRUE(fileHolds(mirrored(kPersonal, "weekly.ics"), "RRULE")) << "the master keeps its rule in a file of its own";
    EXPECT_THAT(wakeUps(), HasSubstr("11:00:00"));
    EXPECT_THAT(wakeUps(), Not(HasSubstr("09:00:00"))) << "today's occurrence was moved away from 09:00";
    EXPECT_THAT(ok({ "today", "--date", "2026-12-15" }), Not(HasSubstr("Planning"))) << "the exception";
    EXPECT_THAT(ok({ "today", "--date", "2026-12-22" }), HasSubstr("09:00-10:00 \"Planning\""));

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
    });
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
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored("nextcloud/team", "retro.ics")); });
    EXPECT_THAT(wakeUps(), HasSubstr("09:00:00"));

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
    takeInCalendarChange([&] { return !std::filesystem::exists(mirrored("nextcloud")); });
    EXPECT_THAT(wakeUps(), Not(HasSubstr("09:00:00")));
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal))) << "the other calendars stay";
}

TEST_F(PhoneEvolutionCalendarsTest, TwoCalendarsHoldingOneEventKeepTheirOwnCopies)
{
    gnome({ "add-calendar", "work", "Work" });
    addEvent("system-calendar", "shared", "Offsite", "09:00", "10:00");
    addEvent("work", "shared", "Offsite", "09:00", "11:00");
    bootWithEvolution();
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored("local-stub/work", "shared.ics")); });
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal, "shared.ics")));
    ok({ "clock", "set", "2026-12-08T09:00:00" });
    ASSERT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();

    gnome({ "remove-event", "system-calendar", "shared" });
    takeInCalendarChange([&] { return !std::filesystem::exists(mirrored(kPersonal, "shared.ics")); });
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
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "meeting.ics")); });
    ok({ "clock", "set", "2026-12-08T09:00:00" });
    ASSERT_TRUE(eventually([&] { return isApplied(); })) << hostOutput();

    m_session->killEvolutionDataServer();
    ASSERT_TRUE(eventually([&] { return homeScreenLogCount("Evolution Data Server left the session bus") == 1; })) << hostOutput();
    EXPECT_FALSE(linkedToEvolution());
    ok({ "clock", "set", "2026-12-08T09:30:00" });
    EXPECT_TRUE(isApplied()) << "the meeting goes on";
    EXPECT_TRUE(std::filesystem::exists(mirrored(kPersonal, "meeting.ics")));

    // GNOME Calendar's next change starts EDS again; the phone hears of it from the bus.
    addEvent("system-calendar", "later", "Later", "11:00", "12:00");
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "later.ics")); });
    EXPECT_TRUE(linkedToEvolution());
    ok({ "clock", "set", "2026-12-08T10:00:05" });
    EXPECT_TRUE(eventually([&] { return !isApplied(); }));
    EXPECT_THAT(wakeUps(), HasSubstr("11:00:00"));
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
    ASSERT_TRUE(eventually([&] { return homeScreenLogCount("Evolution Data Server is not on the session bus") == 1; })) << hostOutput();
    EXPECT_FALSE(linkedToEvolution());
    EXPECT_THAT(wakeUps(), HasSubstr("09:00:00")) << "the vdir calendar is read as before";

    m_session->installEvolutionDataServer();
    addEvent("system-calendar", "late", "Late", "11:00", "12:00");
    takeInCalendarChange([&] { return std::filesystem::exists(mirrored(kPersonal, "late.ics")); });
    EXPECT_TRUE(linkedToEvolution());
    EXPECT_EQ(homeScreenLogCount("Evolution Data Server is not on the session bus"), 1u) << "said once";
    ok({ "clock", "set", "2026-12-08T10:00:05" });
    EXPECT_THAT(wakeUps(), HasSubstr("11:00:00"));
}

TEST_F(PhoneEvolutionCalendarsTest, OnlyTheHomeScreenLinksEvolutionsLibrary)
{
    auto links = [&](const std::filesystem::path& program) { return m_session->run("ldd " + program.string()).find("libecal") != std::string::npos; };
    std::filesystem::path apps = std::filesystem::path(HUSHLINE_PHONECTL).parent_path();
    EXPECT_TRUE(links(apps / "SpringBoard"));
    EXPECT_FALSE(links(apps / "Settings"));
    EXPECT_FALSE(links(apps / "phonectl")) << "nor the shadow phone of today, which phonectl runs";
}
