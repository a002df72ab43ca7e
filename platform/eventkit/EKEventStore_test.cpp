#include "platform/eventkit/EKEventStore.h"
#include "platform/foundation/NSRunLoop.h"

#include "platform/eventkit/ICalendarWriter.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/DeviceFixture.h"

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

class EKEventStoreTest : public DeviceFixture {
protected:
    std::filesystem::path folder(const std::string& identifier) const { return EKEventStore::calendarsFolder() / identifier; }

    void writeText(const std::filesystem::path& path, const std::string& text) const
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

    // One .ics file holding the given VEVENT bodies.
    void writeEvents(const std::string& calendar, const std::string& file, const std::vector<std::string>& events) const
    {
        std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n";
        for (const auto& event : events)
            text += "BEGIN:VEVENT\r\n" + event + "END:VEVENT\r\n";
        writeText(folder(calendar) / file, text + "END:VCALENDAR\r\n");
    }

    void writeEvent(const std::string& calendar, const std::string& uid, const std::string& title, const std::string& start,
        const std::string& end, bool allDay = false, EKEventStatus status = EKEventStatusNone)
    {
        ICalendarEventDescription event;
        event.uid = uid;
        event.title = title;
        event.startDate = NSDate(localTime(start));
        event.endDate = NSDate(localTime(end));
        event.allDay = allDay;
        event.status = status;
        event.timeZone = "Europe/Berlin";
        std::string error;
        ASSERT_TRUE(writeICalendarEvent(folder(calendar), event, &error)) << error;
    }

    std::vector<std::shared_ptr<EKEvent>> eventsOn(const std::string& dayLocal,
        std::optional<std::vector<std::shared_ptr<EKCalendar>>> calendars = std::nullopt)
    {
        NSDate start(localTime(dayLocal + "T00:00:00"));
        NSDate end(localTime(dayLocal + "T23:59:59"));
        return m_store->eventsMatchingPredicate(m_store->predicateForEventsWithStartDate(start, end, std::move(calendars)));
    }

    static std::vector<std::string> titles(const std::vector<std::shared_ptr<EKEvent>>& events)
    {
        std::vector<std::string> result;
        for (const auto& event : events)
            result.push_back(event->title());
        return result;
    }

    std::shared_ptr<EKEventStore> m_store;
};

TEST_F(EKEventStoreTest, CalendarsComeFromTheFoldersInAStableOrder)
{
    writeText(folder("work/meetings") / "displayname", "Meetings\n");
    writeText(folder("work/meetings") / "color", "#3366ffff\n");
    writeText(EKEventStore::calendarsFolder() / "work/displayname", "Work (Nextcloud)\n");
    writeText(folder("work/birthdays") / "color", "blue");
    writeText(folder("home/family") / ".keep", "");
    std::filesystem::create_directories(folder("home/.hidden"));
    std::filesystem::create_directories(folder("home/holidays"));
    chmod(folder("home/holidays").c_str(), 0555); // a subscribed calendar

    m_store = EKEventStore::init();
    auto calendars = m_store->calendarsForEntityType(EKEntityTypeEvent);
    std::vector<std::string> identifiers;
    for (const auto& calendar : calendars)
        identifiers.push_back(calendar->calendarIdentifier());
    EXPECT_EQ(identifiers, (std::vector<std::string> { "home/family", "home/holidays", "work/birthdays", "work/meetings" }));
    EXPECT_EQ(calendars[3]->title(), "Meetings");
    EXPECT_EQ(calendars[3]->color(), "#3366ff");
    EXPECT_EQ(calendars[3]->source()->title(), "Work (Nextcloud)");
    EXPECT_EQ(calendars[2]->title(), "birthdays");
    EXPECT_EQ(calendars[2]->color(), std::nullopt);
    EXPECT_EQ(calendars[0]->source()->title(), "home");
    EXPECT_TRUE(calendars[0]->allowsContentModifications());
    EXPECT_FALSE(calendars[1]->allowsContentModifications());
    EXPECT_TRUE(m_store->calendarsForEntityType(EKEntityTypeReminder).empty());
    EXPECT_EQ(m_store->calendarWithIdentifier("work/meetings")->title(), "Meetings");
    EXPECT_EQ(m_store->calendarWithIdentifier("work/nothing"), nullptr);
    chmod(folder("home/holidays").c_str(), 0755);
}

TEST_F(EKEventStoreTest, ADayHoldsTheEventsThatOverlapItInStoreOrder)
{
    writeEvent("a/work", "late", "Late", "2026-12-08T16:00:00", "2026-12-08T17:00:00");
    writeEvent("a/work", "early", "Early", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    writeEvent("b/home", "also-early", "Also early", "2026-12-08T09:00:00", "2026-12-08T09:30:00");
    writeEvent("a/work", "overnight", "Overnight", "2026-12-07T22:00:00", "2026-12-08T01:00:00");
    writeEvent("a/work", "ends-at-midnight", "Yesterday", "2026-12-07T22:00:00", "2026-12-08T00:00:00");
    writeEvent("a/work", "instant", "Instant", "2026-12-08T00:00:00", "2026-12-08T00:00:00");
    writeEvent("a/work", "tomorrow", "Tomorrow", "2026-12-09T00:00:00", "2026-12-09T01:00:00");
    writeEvent("b/home", "holiday", "Holiday", "2026-12-08T00:00:00", "2026-12-08T00:00:00", true);
    writeEvent("b/home", "trip", "Trip", "2026-12-06T00:00:00", "2026-12-10T00:00:00", true, EKEventStatusCanceled);
    m_store = EKEventStore::init();

    auto events = eventsOn("2026-12-08");
    EXPECT_EQ(titles(events), (std::vector<std::string> { "Trip", "Overnight", "Instant", "Holiday", "Early", "Also early", "Late" }));
    EXPECT_EQ(events[0]->status(), EKEventStatusCanceled);
    EXPECT_TRUE(events[3]->isAllDay());
    EXPECT_EQ(events[3]->startDate(), NSDate(localTime("2026-12-08T00:00:00")));
    EXPECT_EQ(events[3]->endDate(), NSDate(localTime("2026-12-08T23:59:59")));
    EXPECT_EQ(events[4]->UUID(), "early");
    EXPECT_EQ(events[4]->eventIdentifier(), "a/work/early");
    EXPECT_EQ(events[4]->calendar()->calendarIdentifier(), "a/work");

    auto home = m_store->calendarWithIdentifier("b/home");
    EXPECT_EQ(titles(eventsOn("2026-12-08", std::vector { home })), (std::vector<std::string> { "Trip", "Holiday", "Also early" }));
    EXPECT_TRUE(eventsOn("2026-12-08", std::vector<std::shared_ptr<EKCalendar>> {}).empty());
    EXPECT_EQ(titles(eventsOn("2026-12-09")), (std::vector<std::string> { "Trip", "Tomorrow" }));
}

TEST_F(EKEventStoreTest, EveryFetchGivesNewObjects)
{
    writeEvent("a/work", "early", "Early", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    m_store = EKEventStore::init();
    auto first = eventsOn("2026-12-08");
    ASSERT_EQ(first.size(), 1u);
    first[0]->setAssociatedObject("hl_isProfileApplied", true);
    auto again = eventsOn("2026-12-08");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0], first[0]);
    EXPECT_FALSE(again[0]->associatedObject("hl_isProfileApplied").has_value());
}

TEST_F(EKEventStoreTest, RecurringMeetingWithAnExceptionAndAMovedOccurrence)
{
    writeEvents("a/work", "weekly.ics",
        { "UID:weekly\r\nSUMMARY:Team\r\nDTSTART;TZID=Europe/Berlin:20261020T100000\r\n"
          "DTEND;TZID=Europe/Berlin:20261020T110000\r\nRRULE:FREQ=WEEKLY;BYDAY=TU\r\n"
          "EXDATE;TZID=Europe/Berlin:20261103T100000\r\n",
            "UID:weekly\r\nSUMMARY:Team (moved)\r\nRECURRENCE-ID;TZID=Europe/Berlin:20261110T100000\r\n"
            "DTSTART;TZID=Europe/Berlin:20261112T150000\r\nDTEND;TZID=Europe/Berlin:20261112T160000\r\n" });
    m_store = EKEventStore::init();

    auto before = eventsOn("2026-10-20");
    ASSERT_EQ(titles(before), std::vector<std::string> { "Team" });
    // After the clock change on 25 October the meeting keeps its local time.
    auto afterChange = eventsOn("2026-10-27");
    ASSERT_EQ(afterChange.size(), 1u);
    EXPECT_EQ(afterChange[0]->startDate(), NSDate(localTime("2026-10-27T10:00:00")));
    EXPECT_EQ(afterChange[0]->endDate(), NSDate(localTime("2026-10-27T11:00:00")));
    EXPECT_TRUE(eventsOn("2026-11-03").empty()) << "excluded";
    EXPECT_TRUE(eventsOn("2026-11-10").empty()) << "moved away";
    auto moved = eventsOn("2026-11-12");
    ASSERT_EQ(titles(moved), std::vector<std::string> { "Team (moved)" });
    EXPECT_EQ(moved[0]->UUID(), "weekly");
    EXPECT_TRUE(moved[0]->isDetached());
    EXPECT_EQ(moved[0]->occurrenceDate(), NSDate(localTime("2026-11-10T10:00:00")));
    EXPECT_EQ(titles(eventsOn("2029-10-23")), std::vector<std::string> { "Team" });

    EXPECT_EQ(m_store->eventWithUUID("weekly")->startDate(), NSDate(localTime("2026-10-20T10:00:00")));
    EXPECT_EQ(m_store->eventWithIdentifier("a/work/weekly")->startDate(), NSDate(localTime("2026-10-20T10:00:00")));
    auto picked = m_store->eventWithUniqueId("a/work/weekly", NSDate(localTime("2026-11-17T10:00:00")));
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->startDate(), NSDate(localTime("2026-11-17T10:00:00")));
    EXPECT_EQ(m_store->eventWithUniqueId("a/work/weekly", NSDate(localTime("2026-11-10T10:00:00")))->title(), "Team (moved)");
    EXPECT_EQ(m_store->eventWithUniqueId("a/work/weekly", NSDate(localTime("2026-11-03T10:00:00"))), nullptr);
    EXPECT_EQ(m_store->eventWithUniqueId("a/work/weekly", NSDate(localTime("2026-11-18T10:00:00"))), nullptr);
    EXPECT_EQ(m_store->eventWithUUID("nothing"), nullptr);
    EXPECT_EQ(m_store->eventWithIdentifier("a/home/weekly"), nullptr);
    EXPECT_EQ(m_store->eventWithUniqueId("nonsense"), nullptr);
}

TEST_F(EKEventStoreTest, AMeetingInAnUndefinedZoneIsReadAsLocalTimeAndNamedOnce)
{
    // The zone's name is neither a zone database's nor defined in the file.
    const std::string zone = "TZID=\"GMT-05.00/-04.00\":";
    writeEvents("a/work", "exchange.ics",
        { "UID:weekly\r\nSUMMARY:Team\r\nDTSTART;" + zone + "20261020T100000\r\nDTEND;" + zone
                + "20261020T110000\r\nRRULE:FREQ=WEEKLY;BYDAY=TU;UNTIL=20261117T090000Z\r\nEXDATE;" + zone + "20261103T100000\r\n",
            "UID:weekly\r\nSUMMARY:Team (moved)\r\nRECURRENCE-ID;" + zone + "20261110T100000\r\nDTSTART;" + zone
                + "20261112T150000\r\nDTEND;" + zone + "20261112T160000\r\n" });
    m_store = EKEventStore::init();

    auto first = eventsOn("2026-10-20");
    ASSERT_EQ(titles(first), std::vector<std::string> { "Team" });
    EXPECT_EQ(first[0]->startDate(), NSDate(localTime("2026-10-20T10:00:00")));
    EXPECT_EQ(first[0]->endDate(), NSDate(localTime("2026-10-20T11:00:00")));
    auto afterChange = eventsOn("2026-10-27");
    ASSERT_EQ(titles(afterChange), std::vector<std::string> { "Team" });
    EXPECT_EQ(afterChange[0]->startDate(), NSDate(localTime("2026-10-27T10:00:00")));
    EXPECT_TRUE(eventsOn("2026-11-03").empty()) << "excluded";
    EXPECT_TRUE(eventsOn("2026-11-10").empty()) << "moved away";
    auto moved = eventsOn("2026-11-12");
    ASSERT_EQ(titles(moved), std::vector<std::string> { "Team (moved)" });
    EXPECT_EQ(moved[0]->startDate(), NSDate(localTime("2026-11-12T15:00:00")));
    EXPECT_EQ(moved[0]->occurrenceDate(), NSDate(localTime("2026-11-10T10:00:00")));
    EXPECT_TRUE(moved[0]->isDetached());
    auto last = eventsOn("2026-11-17");
    ASSERT_EQ(titles(last), std::vector<std::string> { "Team" }) << "UNTIL names the last one";
    EXPECT_EQ(last[0]->startDate(), NSDate(localTime("2026-11-17T10:00:00")));
    EXPECT_TRUE(eventsOn("2026-11-24").empty());

    EXPECT_EQ(logCount("Warning"), 1u) << logText();
    EXPECT_EQ(logCount("EKEventStore: Warning: " + (folder("a/work") / "exchange.ics").string()
                  + ": unknown time zone \"GMT-05.00/-04.00\", read as local time (2 times)\n"),
        1u)
        << logText();
    EXPECT_EQ(logCount("left out"), 0u) << logText();
}

TEST_F(EKEventStoreTest, ADamagedFileIsNamedOnceAndTheRestKeepsWorking)
{
    writeEvent("a/work", "early", "Early", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    writeText(folder("a/work") / "broken.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\nSUMMARY:no start\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    writeText(folder("b/other") / "garbage.ics", std::string("\0\xff\xfe garbage", 11));
    writeEvent("b/other", "fine", "Fine", "2026-12-08T11:00:00", "2026-12-08T12:00:00");
    m_store = EKEventStore::init();

    EXPECT_EQ(titles(eventsOn("2026-12-08")), (std::vector<std::string> { "Early", "Fine" }));
    EXPECT_EQ(titles(eventsOn("2026-12-08")).size(), 2u);
    EXPECT_EQ(logCount("Warning"), 2u) << logText();
    EXPECT_EQ(logCount((folder("a/work") / "broken.ics").string() + ": VEVENT without DTSTART; 1 of 1 events left out"), 1u) << logText();
    EXPECT_EQ(logCount((folder("b/other") / "garbage.ics").string() + ": not a readable iCalendar file"), 1u) << logText();
}

TEST_F(EKEventStoreTest, ChangesOnDiskAreSeenByTheNextQuery)
{
    writeEvent("a/work", "early", "Early", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    m_store = EKEventStore::init();
    ASSERT_EQ(titles(eventsOn("2026-12-08")), std::vector<std::string> { "Early" });

    // Rewritten in place at once, with the same length: only the watch can tell.
    writeEvent("a/work", "early", "Emily", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    EXPECT_EQ(titles(eventsOn("2026-12-08")), std::vector<std::string> { "Emily" });

    writeEvent("b/new", "new", "New", "2026-12-08T12:00:00", "2026-12-08T13:00:00");
    EXPECT_EQ(titles(eventsOn("2026-12-08")), (std::vector<std::string> { "Emily", "New" }));
    EXPECT_EQ(m_store->calendarsForEntityType(EKEntityTypeEvent).size(), 2u);

    writeText(folder("b/new") / "displayname", "Brand new");
    EXPECT_EQ(m_store->calendarWithIdentifier("b/new")->title(), "Brand new");

    std::filesystem::remove(folder("a/work") / "early.ics");
    EXPECT_EQ(titles(eventsOn("2026-12-08")), std::vector<std::string> { "New" });
    std::filesystem::remove_all(folder("b/new"));
    EXPECT_TRUE(eventsOn("2026-12-08").empty());
    EXPECT_EQ(m_store->calendarsForEntityType(EKEntityTypeEvent).size(), 1u);

    // The whole database replaced: the watch starts over.
    std::filesystem::remove_all(EKEventStore::calendarsFolder());
    EXPECT_TRUE(m_store->calendarsForEntityType(EKEntityTypeEvent).empty());
    writeEvent("c/again", "again", "Again", "2026-12-08T12:00:00", "2026-12-08T13:00:00");
    EXPECT_EQ(titles(eventsOn("2026-12-08")), std::vector<std::string> { "Again" });
    writeEvent("c/again", "later", "Later", "2026-12-08T14:00:00", "2026-12-08T15:00:00");
    EXPECT_EQ(titles(eventsOn("2026-12-08")), (std::vector<std::string> { "Again", "Later" }));
}

TEST_F(EKEventStoreTest, AFileRenamedIntoACalendarIsAnnouncedOnTheMainRunLoop)
{
    std::filesystem::create_directories(folder("a/work"));
    m_store = EKEventStore::init();
    EXPECT_TRUE(eventsOn("2026-12-08").empty());

    std::optional<std::thread::id> postingThread;
    std::shared_ptr<NSObject> sender;
    NSNotificationCenter::defaultCenter().addObserver(this, EKEventStoreChangedNotification, m_store,
        [&](const NSNotification& notification) {
            postingThread = std::this_thread::get_id();
            sender = notification.object;
        });

    // As vdirsyncer writes: a temporary file outside the calendar, then a rename into it.
    writeEvent("a/.staging", "synced", "Synced", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    std::filesystem::rename(folder("a/.staging") / "synced.ics", folder("a/work") / "synced.ics");

    ASSERT_TRUE(NSRunLoop::main().runUntilCondition([&] { return postingThread.has_value(); }, 5));
    EXPECT_EQ(*postingThread, std::this_thread::get_id()) << "no thread of its own";
    EXPECT_EQ(sender, m_store);
    EXPECT_EQ(titles(eventsOn("2026-12-08")), std::vector<std::string> { "Synced" });
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(EKEventStoreTest, ACalendarFolderThatAppearsLaterIsNoticedWithoutAWakeUpBefore)
{
    std::filesystem::remove_all(folder(""));
    m_store = EKEventStore::init();
    EXPECT_TRUE(eventsOn("2026-12-08").empty());
    int told = 0;
    NSNotificationCenter::defaultCenter().addObserver(this, EKEventStoreChangedNotification, m_store,
        [&](const NSNotification&) { ++told; });
    EXPECT_FALSE(NSRunLoop::main().runUntilCondition([&] { return told > 0; }, 0.3)) << "nothing changes, nothing runs";

    std::filesystem::create_directories(folder("a/work"));
    writeEvent("a/work", "late", "Late", "2026-12-08T09:00:00", "2026-12-08T10:00:00");
    ASSERT_TRUE(NSRunLoop::main().runUntilCondition([&] { return told > 0; }, 5));
    EXPECT_EQ(titles(eventsOn("2026-12-08")), std::vector<std::string> { "Late" });
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(EKEventStoreTest, WrittenEventsReadBackWithTheirTextIntact)
{
    ICalendarEventDescription event;
    event.uid = "../../escape";
    event.title = "Lunch; with, Ann\nand \\Bob";
    event.startDate = NSDate(localTime("2026-12-08T12:00:00"));
    event.endDate = NSDate(localTime("2026-12-08T13:00:00"));
    event.status = EKEventStatusTentative;
    event.recurrenceRule = "FREQ=DAILY;COUNT=2";
    auto path = writeICalendarEvent(folder("a/work"), event);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->parent_path(), folder("a/work")) << "a UID is never a path";

    m_store = EKEventStore::init();
    auto events = eventsOn("2026-12-09");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->title(), event.title);
    EXPECT_EQ(events[0]->UUID(), "../../escape");
    EXPECT_EQ(events[0]->status(), EKEventStatusTentative);
    EXPECT_EQ(events[0]->startDate(), NSDate(localTime("2026-12-09T12:00:00")));

    std::string error;
    event.timeZone = "Nowhere/Special";
    EXPECT_FALSE(writeICalendarEvent(folder("a/work"), event, &error));
    EXPECT_EQ(error, "unknown time zone \"Nowhere/Special\"");

    EXPECT_EQ(calendarFolderForIdentifier("a/work"), folder("a/work"));
    EXPECT_EQ(calendarFolderForIdentifier("a/../../etc"), std::nullopt);
    EXPECT_EQ(calendarFolderForIdentifier("../x"), std::nullopt);
    EXPECT_EQ(calendarFolderForIdentifier("work"), std::nullopt);
}

class EKEventStoreInNewYorkTest : public EKEventStoreTest {
protected:
    const char* timeZone() const override { return "America/New_York"; }
};

TEST_F(EKEventStoreInNewYorkTest, WholeDaysAreOnTheirLocalDateWhereverTheDeviceIs)
{
    writeEvents("a/work", "days.ics",
        { "UID:day\r\nSUMMARY:Day\r\nDTSTART;VALUE=DATE:20261208\r\n",
            "UID:berlin\r\nSUMMARY:Berlin morning\r\nDTSTART;TZID=Europe/Berlin:20261208T030000\r\nDURATION:PT1H\r\n" });
    m_store = EKEventStore::init();
    auto events = eventsOn("2026-12-08");
    ASSERT_EQ(titles(events), std::vector<std::string> { "Day" });
    EXPECT_EQ(events[0]->startDate(), NSDate(localTime("2026-12-08T00:00:00")));
    // 03:00 in Berlin is 21:00 of the day before in New York.
    EXPECT_EQ(titles(eventsOn("2026-12-07")), std::vector<std::string> { "Berlin morning" });
}

} // namespace
