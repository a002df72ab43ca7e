#include "platform/eventkit/ICalendarFileCoding.h"

#include "platform/testsupport/DeviceFixture.h"

#include <gtest/gtest.h>

namespace {

std::string vevent(const std::string& lines)
{
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

// A zone that only the file defines: New Zealand's rules under a name no zone database has.
const char* const kOwnZone = "BEGIN:VTIMEZONE\r\nTZID:Kiwi Time\r\n"
                             "BEGIN:STANDARD\r\nDTSTART:19700405T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU\r\n"
                             "TZOFFSETFROM:+1300\r\nTZOFFSETTO:+1200\r\nEND:STANDARD\r\n"
                             "BEGIN:DAYLIGHT\r\nDTSTART:19700927T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=9;BYDAY=-1SU\r\n"
                             "TZOFFSETFROM:+1200\r\nTZOFFSETTO:+1300\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";

// Everything loadICalendar makes of a file: zones of every kind, whole days, series with rules,
// RDATEs and EXDATEs, a moved occurrence, and what it skipped and why.
std::string everyKindOfEvent()
{
    return std::string("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n") + kOwnZone
        + vevent("UID:zoned\r\nSUMMARY:Stand-up\r\nSTATUS:TENTATIVE\r\nDTSTART;TZID=America/New_York:20261208T090000\r\n"
                 "DTEND;TZID=America/New_York:20261208T093000\r\n")
        + vevent("UID:utc\r\nSTATUS:CANCELLED\r\nDTSTART:20261208T120000Z\r\nDURATION:PT45M\r\n")
        + vevent("UID:days\r\nSUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20261224\r\nDTEND;VALUE=DATE:20261227\r\n")
        + vevent("UID:weekly\r\nSUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20261102T100000\r\n"
                 "DTEND;TZID=Europe/Berlin:20261102T110000\r\nRRULE:FREQ=WEEKLY;UNTIL=20270301T090000Z\r\n"
                 "EXDATE;TZID=Europe/Berlin:20261207T100000\r\nRDATE;TZID=Europe/Berlin:20261209T150000\r\n")
        + vevent("UID:weekly\r\nRECURRENCE-ID;TZID=Europe/Berlin:20261214T100000\r\nSUMMARY:Review (moved)\r\n"
                 "DTSTART;TZID=Europe/Berlin:20261214T140000\r\nDTEND;TZID=Europe/Berlin:20261214T150000\r\n")
        + vevent("UID:kiwi\r\nDTSTART;TZID=Kiwi Time:20261208T090000\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=400\r\n")
        + vevent("UID:unknown\r\nDTSTART;TZID=GMT-05.00/-04.00:20261208T090000\r\nDURATION:PT1H\r\n"
                 "RRULE:FREQ=WEEKLY;UNTIL=20270105T140000Z\r\n")
        + vevent("UID:dates\r\nDTSTART;VALUE=DATE:20261201\r\nRDATE;VALUE=DATE:20261215\r\nEXDATE;VALUE=DATE:20261201\r\n")
        + vevent("UID:broken\r\nSUMMARY:no start\r\n") + "END:VCALENDAR\r\n";
}

class ICalendarFileCodingTest : public DeviceFixture {
protected:
    static void expectSameEvents(ICalendarFile& decoded, ICalendarFile& original)
    {
        ASSERT_EQ(decoded.events.size(), original.events.size());
        EXPECT_EQ(decoded.skipped, original.skipped);
        EXPECT_EQ(decoded.problems, original.problems);
        const int64_t from = static_cast<int64_t>(localTime("2026-01-01T00:00:00"));
        const int64_t to = static_cast<int64_t>(localTime("2028-12-31T00:00:00"));
        for (size_t i = 0; i < original.events.size(); ++i) {
            auto& a = decoded.events[i];
            auto& b = original.events[i];
            SCOPED_TRACE(b.uid);
            EXPECT_EQ(a.uid, b.uid);
            EXPECT_EQ(a.summary, b.summary);
            EXPECT_EQ(a.status, b.status);
            EXPECT_EQ(a.allDay, b.allDay);
            EXPECT_EQ(a.start, b.start);
            EXPECT_EQ(a.end, b.end);
            EXPECT_EQ(a.days, b.days);
            EXPECT_EQ(a.recurrenceId, b.recurrenceId);
            EXPECT_EQ(a.position, b.position);
            ASSERT_EQ(a.recurrence != nullptr, b.recurrence != nullptr);
            if (!b.recurrence)
                continue;
            // The occurrences are what counts: a series read back must expand to the same days,
            // across clock changes of its own zone and of the device's.
            EXPECT_EQ(a.recurrence->startsBetween(from, to), b.recurrence->startsBetween(from, to));
            EXPECT_EQ(a.recurrence->firstStart(), b.recurrence->firstStart());
            EXPECT_EQ(a.endFor(a.recurrence->startsBetween(from, to).back()), b.endFor(b.recurrence->startsBetween(from, to).back()));
        }
    }
};

TEST_F(ICalendarFileCodingTest, AFileReadBackExpandsToTheSameOccurrences)
{
    auto original = loadICalendar(everyKindOfEvent());
    ASSERT_EQ(original->events.size(), 8u);
    ASSERT_EQ(original->skipped, 1u);
    ASSERT_FALSE(original->problems.empty());

    auto decoded = decodeICalendarFile(encodeICalendarFile(*original));
    ASSERT_TRUE(decoded);
    expectSameEvents(*decoded, *original);
    // The file's own zone comes back as a zone of the decoded file, not as a pointer into the
    // original, which may be gone.
    EXPECT_EQ(decoded->zones.all().size(), original->zones.all().size());
    auto decodedAgain = decodeICalendarFile(encodeICalendarFile(*decoded));
    ASSERT_TRUE(decodedAgain);
    original.reset();
    EXPECT_EQ(decodedAgain->events[5].recurrence->startsBetween(0, INT64_MAX / 4).size(), 400u);
}

TEST_F(ICalendarFileCodingTest, AnEmptyOrUnreadableFileReadsBackAsItWas)
{
    for (const char* text : { "", "not a calendar at all" }) {
        auto original = loadICalendar(text);
        auto decoded = decodeICalendarFile(encodeICalendarFile(*original));
        ASSERT_TRUE(decoded) << text;
        EXPECT_TRUE(decoded->events.empty());
        EXPECT_EQ(decoded->problems, original->problems);
    }
}

TEST_F(ICalendarFileCodingTest, DamagedBytesAreRefusedNeverReadBeyond)
{
    auto original = loadICalendar(everyKindOfEvent());
    std::string bytes = encodeICalendarFile(*original);
    // Every cut: a cache file written only in part.
    for (size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(decodeICalendarFile(std::string_view(bytes).substr(0, size))) << size;
    EXPECT_FALSE(decodeICalendarFile(bytes + "x"));
    // Flipped bytes may decode to other values, but never crash or read out of bounds (the
    // sanitizers watch this).
    for (size_t at = 0; at < bytes.size(); at += 3) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        decodeICalendarFile(damaged);
    }
}

}

namespace {

// What a series has been expanded to travels with it: the next process answers the same days
// without walking the rule again, and a day beyond them is expanded afresh.
TEST_F(ICalendarFileCodingTest, AKeptExpansionAnswersTheSameDaysWithoutWalkingTheRuleAgain)
{
    auto original = loadICalendar(everyKindOfEvent());
    auto& weekly = *original->events[3].recurrence;
    const int64_t day = static_cast<int64_t>(localTime("2026-12-09T00:00:00"));
    auto starts = weekly.startsBetween(day, day + 86399);
    ASSERT_EQ(starts.size(), 1u) << "the RDATE of 9 December";
    ASSERT_TRUE(weekly.takeExpandedSinceLastAsked());

    auto decoded = decodeICalendarFile(encodeICalendarFile(*original));
    ASSERT_TRUE(decoded);
    auto& kept = *decoded->events[3].recurrence;
    EXPECT_EQ(kept.startsBetween(day, day + 86399), starts);
    EXPECT_FALSE(kept.takeExpandedSinceLastAsked()) << "the kept expansion covers the day";

    const int64_t later = static_cast<int64_t>(localTime("2027-02-22T00:00:00"));
    EXPECT_EQ(kept.startsBetween(later, later + 86399), weekly.startsBetween(later, later + 86399));
    EXPECT_TRUE(kept.takeExpandedSinceLastAsked());
}

}

namespace {

std::unique_ptr<ICalendarFile> fileOf(const std::string& events)
{
    return loadICalendar("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + events + "END:VCALENDAR\r\n");
}

// The summary lets a reader pass over a file on days none of its occurrences touch; it must
// never pass over one that does.
TEST_F(ICalendarFileCodingTest, TheSummaryNeverRulesOutADayTheFileOccursOn)
{
    auto within = [&](const ICalendarFileSummary& summary, const char* from, const char* to) {
        return summary.mayOccurIn(localTime(from), localTime(to));
    };
    auto single = fileOf(vevent("UID:one\r\nDTSTART;TZID=Europe/Berlin:20261208T090000\r\nDURATION:PT1H\r\n"));
    std::string bytes = encodeICalendarFile(*single);
    auto summary = summaryOfEncodedICalendarFile(bytes);
    ASSERT_TRUE(summary);
    EXPECT_FALSE(summary->readAtOnce);
    EXPECT_TRUE(summary->mayHoldUid(iCalendarUidHash("one")));
    EXPECT_FALSE(summary->mayHoldUid(iCalendarUidHash("two")));
    EXPECT_TRUE(within(*summary, "2026-12-08T00:00:00", "2026-12-08T23:59:59"));
    EXPECT_TRUE(within(*summary, "2026-12-08T09:59:00", "2026-12-08T11:00:00"));
    EXPECT_FALSE(within(*summary, "2026-12-08T10:00:01", "2026-12-08T23:59:59"));
    EXPECT_FALSE(within(*summary, "2026-12-07T00:00:00", "2026-12-08T09:00:00")) << "a range that ends as it begins";

    // A counted series, once expanded whole, is ruled out on the days between its occurrences.
    auto counted = fileOf(vevent("UID:weekly\r\nDTSTART;TZID=Europe/Berlin:20261102T100000\r\nDURATION:PT1H\r\n"
                                 "RRULE:FREQ=WEEKLY;COUNT=10\r\n"));
    summary = summaryOfEncodedICalendarFile(bytes = encodeICalendarFile(*counted));
    EXPECT_TRUE(within(*summary, "2026-12-08T00:00:00", "2026-12-08T23:59:59")) << "not yet expanded";
    counted->events[0].recurrence->startsBetween(0, 1);
    summary = summaryOfEncodedICalendarFile(bytes = encodeICalendarFile(*counted));
    EXPECT_FALSE(within(*summary, "2026-12-08T00:00:00", "2026-12-08T23:59:59"));
    EXPECT_TRUE(within(*summary, "2026-12-07T10:30:00", "2026-12-07T10:30:00"));
    EXPECT_FALSE(within(*summary, "2027-01-11T00:00:00", "2027-12-31T00:00:00")) << "after its tenth";
    EXPECT_TRUE(within(*summary, "2027-01-04T00:00:00", "2027-12-31T00:00:00"));

    // A rule without an end cannot be ruled out beyond what was expanded.
    auto endless = fileOf(vevent("UID:endless\r\nDTSTART;TZID=Europe/Berlin:20261102T100000\r\nDURATION:PT1H\r\n"
                                 "RRULE:FREQ=WEEKLY\r\n"));
    endless->events[0].recurrence->startsBetween(static_cast<int64_t>(localTime("2026-12-01T00:00:00")),
        static_cast<int64_t>(localTime("2026-12-31T00:00:00")));
    summary = summaryOfEncodedICalendarFile(bytes = encodeICalendarFile(*endless));
    EXPECT_FALSE(within(*summary, "2026-12-08T00:00:00", "2026-12-08T23:59:59"));
    EXPECT_TRUE(within(*summary, "2031-12-08T00:00:00", "2031-12-08T23:59:59"));
    EXPECT_FALSE(within(*summary, "2026-10-01T00:00:00", "2026-10-31T23:59:59")) << "before it begins";
}

TEST_F(ICalendarFileCodingTest, FilesThatChangeOtherFilesOrMustWarnAreReadAtOnce)
{
    for (const char* events : { "UID:x\r\nRECURRENCE-ID:20261208T090000Z\r\nDTSTART:20261208T100000Z\r\n",
             "SUMMARY:no UID\r\nDTSTART:20261208T100000Z\r\n", "UID:x\r\nSUMMARY:no start\r\n" }) {
        auto file = fileOf(vevent(events));
        auto summary = summaryOfEncodedICalendarFile(encodeICalendarFile(*file));
        ASSERT_TRUE(summary) << events;
        EXPECT_TRUE(summary->readAtOnce) << events;
    }
    // A summary whose hashes are cut is damage, not a file without UIDs.
    std::string bytes = encodeICalendarFile(*fileOf(vevent("UID:one\r\nDTSTART:20261208T100000Z\r\n")));
    bytes[8 + 8 + 1] = 7;
    EXPECT_FALSE(summaryOfEncodedICalendarFile(bytes));
    EXPECT_FALSE(decodeICalendarFile(bytes));
}

}
