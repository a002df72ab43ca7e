#include "platform/eventkit/CalendarMirror.h"

#include "platform/eventkit/EKEventStore.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/testsupport/DeviceFixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string eventText(const std::string& uid, const std::string& summary, const std::string& start)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + summary + "\r\nDTSTART:" + start
        + "\r\nDURATION:PT1H\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

class CalendarMirrorTest : public DeviceFixture {
protected:
    CalendarMirror::Calendar personal() const { return { "local-stub", "On This Computer", "system-calendar", "Personal", "#BECEDD", true }; }

    std::shared_ptr<EKCalendar> calendarNamed(const std::string& identifier)
    {
        auto store = EKEventStore::init();
        return store->calendarWithIdentifier(identifier);
    }

    std::vector<std::string> titlesOn(const std::string& day)
    {
        auto store = EKEventStore::init();
        std::vector<std::string> titles;
        auto predicate = store->predicateForEventsWithStartDate(NSDate(localTime(day + "T00:00:00")), NSDate(localTime(day + "T23:59:59")), std::nullopt);
        for (const auto& event : store->eventsMatchingPredicate(predicate))
            titles.push_back(event->title());
        return titles;
    }

    struct stat statOf(const std::filesystem::path& path) const
    {
        struct stat info { };
        stat(path.c_str(), &info);
        return info;
    }

    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_mirror = std::make_unique<CalendarMirror>(EKEventStore::calendarsFolder(), "evolution-data-server");
    }

    std::unique_ptr<CalendarMirror> m_mirror;
};

}

TEST_F(CalendarMirrorTest, ACalendarIsReadAsTheDatabasesOwnWithItsAccountNameAndColour)
{
    m_mirror->describe(personal());
    ASSERT_TRUE(m_mirror->putEvent({ "local-stub", "system-calendar" }, CalendarMirror::eventFileName("a@b", ""),
        eventText("a@b", "Review", "20261208T090000Z")));

    auto calendar = calendarNamed("local-stub/system-calendar");
    ASSERT_TRUE(calendar);
    EXPECT_EQ(calendar->title(), "Personal");
    EXPECT_EQ(calendar->color(), "#BECEDD");
    EXPECT_TRUE(calendar->allowsContentModifications());
    EXPECT_EQ(calendar->source()->title(), "On This Computer");
    EXPECT_EQ(titlesOn("2026-12-08"), std::vector<std::string> { "Review" });

    CalendarMirror::Calendar renamed = personal();
    renamed.title = "Home";
    renamed.color.reset();
    renamed.writable = false;
    m_mirror->describe(renamed);
    calendar = calendarNamed("local-stub/system-calendar");
    EXPECT_EQ(calendar->title(), "Home") << "the identifier stays through a rename";
    EXPECT_FALSE(calendar->color());
    EXPECT_FALSE(calendar->allowsContentModifications());

    ASSERT_TRUE(m_mirror->putEvent({ "local-stub", "system-calendar" }, CalendarMirror::eventFileName("c", ""), eventText("c", "Lunch", "20261208T110000Z")))
        << "a calendar that cannot be modified still takes the service's events";
    EXPECT_EQ(titlesOn("2026-12-08"), (std::vector<std::string> { "Review", "Lunch" }));
}

TEST_F(CalendarMirrorTest, AFileIsWrittenOnlyWhenItsContentChanges)
{
    m_mirror->describe(personal());
    CalendarMirror::Place place { "local-stub", "system-calendar" };
    std::string name = CalendarMirror::eventFileName("a", "");
    m_mirror->putEvent(place, name, eventText("a", "Review", "20261208T090000Z"));
    auto path = EKEventStore::calendarsFolder() / "local-stub/system-calendar" / name;
    ino_t first = statOf(path).st_ino;
    auto displayName = statOf(path.parent_path() / "displayname").st_ino;

    m_mirror->putEvent(place, name, eventText("a", "Review", "20261208T090000Z"));
    m_mirror->describe(personal());
    EXPECT_EQ(statOf(path).st_ino, first);
    EXPECT_EQ(statOf(path.parent_path() / "displayname").st_ino, displayName);

    m_mirror->putEvent(place, name, eventText("a", "Review moved", "20261208T100000Z"));
    EXPECT_NE(statOf(path).st_ino, first) << "a change replaces the file";
    EXPECT_EQ(m_mirror->eventFiles(place), std::vector<std::string> { name });
    m_mirror->removeEvent(place, name);
    EXPECT_TRUE(m_mirror->eventFiles(place).empty());
}

TEST_F(CalendarMirrorTest, OnlyItsOwnFoldersAreListedAndRemoved)
{
    std::filesystem::create_directories(EKEventStore::calendarsFolder() / "local/Work");
    std::filesystem::create_directories(EKEventStore::calendarsFolder() / "local-stub/synced");
    m_mirror->describe(personal());
    CalendarMirror::Calendar other { "goa-1", "Nextcloud", "cal-2", "Team", std::nullopt, true };
    m_mirror->describe(other);

    EXPECT_EQ(m_mirror->calendars(), (std::vector<CalendarMirror::Place> { { "goa-1", "cal-2" }, { "local-stub", "system-calendar" } }));
    m_mirror->removeCalendar({ "goa-1", "cal-2" });
    m_mirror->removeCalendar({ "local-stub", "system-calendar" });
    m_mirror->removeCalendar({ "local", "Work" });
    EXPECT_FALSE(std::filesystem::exists(EKEventStore::calendarsFolder() / "goa-1")) << "an account left empty goes with its last calendar";
    EXPECT_TRUE(std::filesystem::exists(EKEventStore::calendarsFolder() / "local-stub/synced"));
    EXPECT_TRUE(std::filesystem::exists(EKEventStore::calendarsFolder() / "local/Work"));
    EXPECT_TRUE(m_mirror->calendars().empty());
}

TEST_F(CalendarMirrorTest, EveryStoredEventHasASafeNameOfItsOwn)
{
    EXPECT_EQ(CalendarMirror::eventFileName("abc@example.com", ""), "abc@example.com.ics");
    EXPECT_EQ(CalendarMirror::eventFileName("abc@example.com", "20261215T090000"), "abc@example.com~20261215T090000.ics");
    EXPECT_EQ(CalendarMirror::eventFileName("../x/y", ""), "%2E.%2Fx%2Fy.ics");
    EXPECT_NE(CalendarMirror::eventFileName("a~b", ""), CalendarMirror::eventFileName("a", "b"));
    std::string longUid(400, 'u');
    std::string longName = CalendarMirror::eventFileName(longUid, "");
    EXPECT_LE(longName.size(), 255u);
    EXPECT_NE(longName, CalendarMirror::eventFileName(longUid + "v", ""));
}
