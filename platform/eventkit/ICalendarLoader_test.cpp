#include "platform/eventkit/ICalendarLoader.h"

#include "platform/testsupport/DeviceFixture.h"

#include <gtest/gtest.h>

namespace {

std::string calendar(const std::string& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string vevent(const std::string& lines)
{
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

class ICalendarLoaderTest : public DeviceFixture {
protected:
    static int64_t at(const std::string& isoLocal) { return static_cast<int64_t>(localTime(isoLocal)); }

    std::unique_ptr<ICalendarFile> load(const std::string& body) { return loadICalendar(calendar(body)); }

    std::vector<int64_t> startsOn(ICalendarEvent& event, const std::string& dayLocal)
    {
        int64_t day = at(dayLocal + "T00:00:00");
        return event.recurrence->startsBetween(day, day + 86399);
    }
};

TEST_F(ICalendarLoaderTest, ReadsTimesInTheirZonesAndStatus)
{
    auto file = load(vevent("UID:zoned\r\nSUMMARY:Stand-up\\, daily\r\nSTATUS:TENTATIVE\r\n"
                            "DTSTART;TZID=America/New_York:20261208T090000\r\nDTEND;TZID=America/New_York:20261208T093000\r\n")
        + vevent("UID:utc\r\nSTATUS:CANCELLED\r\nDTSTART:20261208T120000Z\r\nDURATION:PT45M\r\n")
        + vevent("UID:floating\r\nSTATUS:CONFIRMED\r\nDTSTART:20261208T140000\r\n")
        + vevent("UID:plain\r\nSTATUS:IN-PROCESS\r\nDTSTART;TZID=/mozilla.org/20050126_1/Europe/Berlin:20261208T160000\r\n"));
    ASSERT_EQ(file->events.size(), 4u);
    EXPECT_TRUE(file->problems.empty());

    const auto& zoned = file->events[0];
    EXPECT_EQ(zoned.summary, "Stand-up, daily");
    EXPECT_EQ(zoned.status, 2);
    EXPECT_EQ(zoned.start, at("2026-12-08T15:00:00")); // 09:00 in New York is 15:00 in Berlin
    EXPECT_EQ(zoned.end - zoned.start, 1800);

    EXPECT_EQ(file->events[1].status, 3);
    EXPECT_EQ(file->events[1].start, at("2026-12-08T13:00:00"));
    EXPECT_EQ(file->events[1].end, at("2026-12-08T13:45:00"));

    // A floating time is the device's local time; without an end the event ends at its start.
    EXPECT_EQ(file->events[2].status, 1);
    EXPECT_EQ(file->events[2].start, at("2026-12-08T14:00:00"));
    EXPECT_EQ(file->events[2].end, file->events[2].start);

    EXPECT_EQ(file->events[3].status, 0);
    EXPECT_EQ(file->events[3].start, at("2026-12-08T16:00:00"));
}

TEST_F(ICalendarLoaderTest, WholeDaysLastToTheLastSecondOfTheirLastDay)
{
    auto file = load(vevent("UID:one\r\nDTSTART;VALUE=DATE:20261208\r\n")
        + vevent("UID:three\r\nDTSTART;VALUE=DATE:20261208\r\nDTEND;VALUE=DATE:20261211\r\n")
        + vevent("UID:week\r\nDTSTART;VALUE=DATE:20261208\r\nDURATION:P1W\r\n")
        + vevent("UID:backwards\r\nDTSTART;VALUE=DATE:20261208\r\nDTEND;VALUE=DATE:20261201\r\n")
        + vevent("UID:timed-backwards\r\nDTSTART:20261208T100000Z\r\nDTEND:20261208T090000Z\r\n"));
    ASSERT_EQ(file->events.size(), 5u);
    EXPECT_TRUE(file->events[0].allDay);
    EXPECT_EQ(file->events[0].start, at("2026-12-08T00:00:00"));
    EXPECT_EQ(file->events[0].end, at("2026-12-08T23:59:59"));
    EXPECT_EQ(file->events[1].end, at("2026-12-10T23:59:59"));
    EXPECT_EQ(file->events[2].end, at("2026-12-14T23:59:59"));
    EXPECT_EQ(file->events[3].end, at("2026-12-08T23:59:59"));
    EXPECT_FALSE(file->events[4].allDay);
    EXPECT_EQ(file->events[4].end, file->events[4].start);
}

TEST_F(ICalendarLoaderTest, DamagedEventsAreLeftOutAndNamedTheOthersKept)
{
    auto file = load(vevent("UID:no-start\r\nSUMMARY:x\r\n") + vevent("UID:garbage\r\nDTSTART:not-a-time\r\n") + vevent("UID:far\r\nDTSTART:99991231T000000Z\r\n")
        + vevent("UID:bad-rule\r\nDTSTART:20261208T100000Z\r\nRRULE:FREQ=SOMETIMES\r\n")
        + vevent("UID:good\r\nDTSTART:20261208T100000Z\r\n"));
    std::vector<std::string> uids;
    for (const auto& event : file->events)
        uids.push_back(event.uid);
    // The event whose rule cannot be read still happens once.
    EXPECT_EQ(uids, (std::vector<std::string> { "bad-rule", "good" }));
    EXPECT_EQ(file->skipped, 3u);
    std::string problems;
    for (const auto& problem : file->problems)
        problems += problem + "\n";
    EXPECT_NE(problems.find("VEVENT without DTSTART"), std::string::npos) << problems;
    EXPECT_NE(problems.find("unreadable RRULE"), std::string::npos) << problems;
    EXPECT_FALSE(file->events[0].recurrence);

    auto junk = loadICalendar("this is not a calendar\n\x01\x02");
    EXPECT_TRUE(junk->events.empty());
    EXPECT_EQ(junk->problems, std::vector<std::string> { "not a readable iCalendar file" });
    EXPECT_TRUE(loadICalendar("")->problems.empty());
}

TEST_F(ICalendarLoaderTest, WeeklyMeetingKeepsItsLocalTimeAcrossTheClockChange)
{
    auto file = load(vevent("UID:weekly\r\nDTSTART;TZID=Europe/Berlin:20261019T100000\r\n"
                            "DTEND;TZID=Europe/Berlin:20261019T110000\r\nRRULE:FREQ=WEEKLY\r\n"
                            "EXDATE;TZID=Europe/Berlin:20261102T100000\r\n"));
    ASSERT_EQ(file->events.size(), 1u);
    auto& event = file->events[0];
    ASSERT_TRUE(event.recurrence);
    EXPECT_EQ(startsOn(event, "2026-10-19"), std::vector<int64_t> { at("2026-10-19T10:00:00") });
    // Summer time ends on 25 October: the meeting stays at 10:00 local, an hour later in UTC.
    auto after = startsOn(event, "2026-10-26");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], at("2026-10-26T10:00:00"));
    EXPECT_EQ(after[0] - startsOn(event, "2026-10-19")[0], 7 * 86400 + 3600);
    EXPECT_TRUE(startsOn(event, "2026-11-02").empty()) << "excluded by EXDATE";
    EXPECT_EQ(startsOn(event, "2026-11-09"), std::vector<int64_t> { at("2026-11-09T10:00:00") });
    EXPECT_EQ(event.endFor(after[0]) - after[0], 3600);
    // Three years on, still found, and found quickly by entering the rule near the date.
    EXPECT_EQ(startsOn(event, "2029-10-22"), std::vector<int64_t> { at("2029-10-22T10:00:00") });
}

TEST_F(ICalendarLoaderTest, CountUntilRdateAndWholeDayRules)
{
    auto file = load(vevent("UID:count\r\nDTSTART:20261201T090000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n")
        + vevent("UID:until\r\nDTSTART:20261201T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20261205T090000Z\r\n")
        + vevent("UID:rdate\r\nDTSTART:20261201T090000Z\r\nRDATE;TZID=America/New_York:20261210T080000,20261211T080000\r\n"
                 "EXDATE:20261211T130000Z\r\n")
        + vevent("UID:birthday\r\nDTSTART;VALUE=DATE:19800229\r\nRRULE:FREQ=YEARLY\r\nEXDATE;VALUE=DATE:20280229\r\n"));
    ASSERT_EQ(file->events.size(), 4u);
    auto& count = file->events[0];
    EXPECT_EQ(startsOn(count, "2026-12-03").size(), 1u);
    EXPECT_TRUE(startsOn(count, "2026-12-04").empty());
    EXPECT_EQ(count.recurrence->firstStart(), count.start);

    auto& until = file->events[1];
    EXPECT_EQ(startsOn(until, "2026-12-05").size(), 1u);
    EXPECT_TRUE(startsOn(until, "2026-12-06").empty());

    auto& rdate = file->events[2];
    EXPECT_EQ(startsOn(rdate, "2026-12-01").size(), 1u) << "DTSTART is the first occurrence";
    EXPECT_EQ(startsOn(rdate, "2026-12-10"), std::vector<int64_t> { at("2026-12-10T14:00:00") });
    EXPECT_TRUE(startsOn(rdate, "2026-12-11").empty()) << "an EXDATE removes an RDATE too";

    auto& birthday = file->events[3];
    EXPECT_TRUE(birthday.allDay);
    EXPECT_TRUE(startsOn(birthday, "2027-02-28").empty());
    EXPECT_TRUE(startsOn(birthday, "2028-02-29").empty());
    EXPECT_EQ(startsOn(birthday, "2032-02-29"), std::vector<int64_t> { at("2032-02-29T00:00:00") });
    EXPECT_EQ(birthday.endFor(at("2032-02-29T00:00:00")), at("2032-02-29T23:59:59"));
}

// The occurrences of a rule walked from its start one hop at a time, within [from, to].
std::vector<int64_t> walk(const char* ruleText, ICalendarTime start, int64_t from, int64_t to)
{
    auto lock = icalendarLock();
    icalrecur_iterator* it = icalrecur_iterator_new(icalrecurrencetype_from_string(ruleText), start.fields);
    std::vector<int64_t> found;
    for (icaltimetype next = icalrecur_iterator_next(it); !icaltime_is_null_time(next); next = icalrecur_iterator_next(it)) {
        ICalendarTime occurrence = start;
        occurrence.fields = next;
        int64_t seconds = occurrence.seconds();
        if (seconds > to)
            break;
        if (seconds >= from)
            found.push_back(seconds);
    }
    icalrecur_iterator_free(it);
    return found;
}

TEST_F(ICalendarLoaderTest, SubDailyRulesEnteredNearTheDateMatchAFullWalk)
{
    // libical's own skip-ahead lands off the INTERVAL grid of sub-daily rules.
    struct Case {
        const char* dtstart;
        const char* rule;
        bool floating;
    };
    const Case cases[] = {
        { ":20190131T100000Z", "FREQ=HOURLY;INTERVAL=7", false },
        { ":20210315T233000", "FREQ=MINUTELY;INTERVAL=90", true },
        { ":20200229T080000Z", "FREQ=HOURLY;INTERVAL=5;BYHOUR=9,10,11", false },
    };
    int64_t day = at("2026-12-08T00:00:00");
    for (const auto& c : cases) {
        auto file = load(vevent(std::string("UID:x\r\nDTSTART") + c.dtstart + "\r\nRRULE:" + c.rule + "\r\n"));
        ASSERT_EQ(file->events.size(), 1u) << c.rule;
        ICalendarTime start;
        start.fields = icaltime_from_string(std::string(c.dtstart).substr(std::string(c.dtstart).rfind(':') + 1).c_str());
        start.kind = c.floating ? ICalendarTimeKind::Floating : ICalendarTimeKind::Utc;
        start.fields.zone = c.floating ? nullptr : icaltimezone_get_utc_timezone();
        auto walked = walk(c.rule, start, day, day + 86399);
        ASSERT_FALSE(walked.empty()) << c.rule;
        EXPECT_EQ(file->events[0].recurrence->startsBetween(day, day + 86399), walked) << c.rule;
    }
}

TEST_F(ICalendarLoaderTest, EndlessRulesAreBounded)
{
    auto file = load(vevent("UID:secondly\r\nDTSTART:20260101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n")
        + vevent("UID:huge-count\r\nDTSTART:20000101T000000Z\r\nRRULE:FREQ=MINUTELY;COUNT=100000000\r\n")
        + vevent("UID:never\r\nDTSTART:20260101T000000Z\r\nRRULE:FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=30\r\n"));
    ASSERT_EQ(file->events.size(), 3u);
    int64_t day = at("2026-12-08T00:00:00");
    for (auto& event : file->events) {
        ASSERT_TRUE(event.recurrence) << event.uid;
        auto starts = event.recurrence->startsBetween(day, day + 86399);
        EXPECT_LE(starts.size(), ICalendarRecurrence::kMaxOccurrences) << event.uid;
    }
    EXPECT_TRUE(file->events[2].recurrence->startsBetween(day, day + 30 * 86400).empty());
    EXPECT_TRUE(file->events[0].recurrence->wasBounded());
    EXPECT_TRUE(file->events[1].recurrence->wasBounded());
    EXPECT_TRUE(file->events[1].recurrence->takeBoundReport());
    EXPECT_FALSE(file->events[1].recurrence->takeBoundReport()) << "told once";
}

TEST_F(ICalendarLoaderTest, ReadsAZoneOnlyTheFileDefines)
{
    auto file = load("BEGIN:VTIMEZONE\r\nTZID:W. Europe Standard Time\r\n"
                     "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
                     "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
                     "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
                     "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        + vevent("UID:winter\r\nDTSTART;TZID=W. Europe Standard Time:20261208T100000\r\n")
        + vevent("UID:summer\r\nDTSTART;TZID=W. Europe Standard Time:20260708T100000\r\n"));
    ASSERT_EQ(file->events.size(), 2u);
    EXPECT_EQ(file->events[0].start, at("2026-12-08T10:00:00"));
    EXPECT_EQ(file->events[1].start, at("2026-07-08T10:00:00"));
}

TEST_F(ICalendarLoaderTest, AnUndefinedZoneIsReadAsLocalTimeTheWholeSeriesAlike)
{
    // As an Exchange server wrote it, without its VTIMEZONE. The device is in Berlin.
    const std::string zone = "TZID=\"GMT-05.00/-04.00\":";
    auto file = load(vevent("UID:weekly\r\nSUMMARY:Team\r\nDTSTART;" + zone + "20261020T100000\r\nDTEND;" + zone
                         + "20261020T110000\r\n"
                           "RRULE:FREQ=WEEKLY;UNTIL=20261117T090000Z\r\n" // 10:00 in Berlin: the last one
                           "EXDATE;"
                         + zone + "20261103T100000\r\nRDATE;" + zone + "20261105T140000\r\n")
        + vevent("UID:weekly\r\nSUMMARY:Team (moved)\r\nRECURRENCE-ID;" + zone + "20261110T100000\r\nDTSTART;" + zone
            + "20261112T150000\r\nDTEND;" + zone + "20261112T160000\r\n")
        + vevent("UID:made-up\r\nDTSTART;TZID=Mars/Olympus:20261208T100000\r\nDTEND:20261208T100000Z\r\n")
        + vevent("UID:escape\r\nDTSTART;TZID=../../../../etc/passwd:20261208T120000\r\n"));
    ASSERT_EQ(file->events.size(), 4u);
    EXPECT_EQ(file->skipped, 0u);
    EXPECT_EQ(file->problems,
        (std::vector<std::string> { "unknown time zone \"../../../../etc/passwd\", read as local time",
            "unknown time zone \"GMT-05.00/-04.00\", read as local time (2 times)",
            "unknown time zone \"Mars/Olympus\", read as local time" }));

    auto& weekly = file->events[0];
    ASSERT_TRUE(weekly.recurrence);
    EXPECT_EQ(weekly.start, at("2026-10-20T10:00:00"));
    EXPECT_EQ(weekly.duration, 3600);
    EXPECT_EQ(startsOn(weekly, "2026-10-20"), std::vector<int64_t> { at("2026-10-20T10:00:00") });
    // Past the clock change on 25 October: still 10:00 local.
    EXPECT_EQ(startsOn(weekly, "2026-10-27"), std::vector<int64_t> { at("2026-10-27T10:00:00") });
    EXPECT_TRUE(startsOn(weekly, "2026-11-03").empty()) << "excluded by EXDATE";
    EXPECT_EQ(startsOn(weekly, "2026-11-05"), std::vector<int64_t> { at("2026-11-05T14:00:00") }) << "RDATE";
    EXPECT_EQ(startsOn(weekly, "2026-11-10"), std::vector<int64_t> { at("2026-11-10T10:00:00") });
    EXPECT_EQ(startsOn(weekly, "2026-11-17"), std::vector<int64_t> { at("2026-11-17T10:00:00") }) << "UNTIL is the last one";
    EXPECT_TRUE(startsOn(weekly, "2026-11-24").empty());

    auto& moved = file->events[1];
    EXPECT_EQ(moved.recurrenceId, at("2026-11-10T10:00:00"));
    EXPECT_EQ(moved.start, at("2026-11-12T15:00:00"));
    EXPECT_EQ(moved.end, at("2026-11-12T16:00:00"));

    // A zone that libical is asked for and does not know, with an end in UTC.
    EXPECT_EQ(file->events[2].start, at("2026-12-08T10:00:00"));
    EXPECT_EQ(file->events[2].end, at("2026-12-08T11:00:00"));
    // A name that never reaches libical.
    EXPECT_EQ(file->events[3].start, at("2026-12-08T12:00:00"));
}

TEST_F(ICalendarLoaderTest, AZoneTheFileDefinesIsReadByThatDefinitionNotAsLocalTime)
{
    // A Windows zone name, known to no zone database, defined by the file (New Zealand).
    auto file = load("BEGIN:VTIMEZONE\r\nTZID:New Zealand Standard Time\r\n"
                     "BEGIN:STANDARD\r\nDTSTART:16010101T030000\r\nTZOFFSETFROM:+1300\r\nTZOFFSETTO:+1200\r\n"
                     "RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=1SU;BYMONTH=4\r\nEND:STANDARD\r\n"
                     "BEGIN:DAYLIGHT\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:+1200\r\nTZOFFSETTO:+1300\r\n"
                     "RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=-1SU;BYMONTH=9\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        + vevent("UID:summer\r\nDTSTART;TZID=New Zealand Standard Time:20261208T100000\r\n"
                 "DTEND;TZID=New Zealand Standard Time:20261208T110000\r\n")
        + vevent("UID:winter\r\nDTSTART;TZID=New Zealand Standard Time:20260708T100000\r\n")
        + vevent("UID:weekly\r\nDTSTART;TZID=New Zealand Standard Time:20270329T100000\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n"));
    ASSERT_EQ(file->events.size(), 3u);
    EXPECT_TRUE(file->problems.empty());
    // 10:00 at +13:00 is 22:00 of the day before in Berlin (+01:00).
    EXPECT_EQ(file->events[0].start, at("2026-12-07T22:00:00"));
    EXPECT_EQ(file->events[0].end, at("2026-12-07T23:00:00"));
    // 10:00 at +12:00 is midnight in Berlin (+02:00).
    EXPECT_EQ(file->events[1].start, at("2026-07-08T00:00:00"));
    // The series follows the file's rules, not Berlin's: New Zealand leaves summer time on
    // 4 April 2027, a week after Berlin began it.
    auto& weekly = file->events[2];
    ASSERT_TRUE(weekly.recurrence);
    EXPECT_EQ(startsOn(weekly, "2027-03-28"), std::vector<int64_t> { at("2027-03-28T23:00:00") });
    EXPECT_EQ(startsOn(weekly, "2027-04-05"), std::vector<int64_t> { at("2027-04-05T00:00:00") });
}

} // namespace

TEST_F(ICalendarLoaderTest, TheOwnersParticipationIsTheStatusOfAnEventNotCancelled)
{
    auto answered = [](const std::string& status, const std::string& participation) {
        return vevent("UID:invitation\r\nDTSTART:20261208T120000Z\r\n" + (status.empty() ? "" : "STATUS:" + status + "\r\n")
            + (participation.empty() ? "" : std::string(kParticipationProperty) + ":" + participation + "\r\n"));
    };
    auto file = load(answered("CONFIRMED", "DECLINED") + answered("", "ACCEPTED") + answered("CONFIRMED", "TENTATIVE")
        + answered("CONFIRMED", "NEEDS-ACTION") + answered("CANCELLED", "ACCEPTED") + answered("TENTATIVE", ""));
    ASSERT_EQ(file->events.size(), 6u);
    std::vector<int> statuses;
    for (const auto& event : file->events)
        statuses.push_back(event.status);
    EXPECT_EQ(statuses, (std::vector<int> { 3, 1, 2, 0, 3, 2 }));
}
