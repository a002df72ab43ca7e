#include "platform/eventkit/CalendarCache.h"

#include "platform/eventkit/EKEventStore.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/testsupport/DeviceFixture.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class CalendarCacheTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        m_cacheFile = m_root.parent_path() / (m_root.filename().string() + ".cache") / "calendars.cache";
        EKEventStore::keepReadCalendarsIn(m_cacheFile);
    }
    void TearDown() override
    {
        EKEventStore::keepReadCalendarsIn(std::nullopt);
        std::filesystem::remove_all(m_cacheFile.parent_path());
        DeviceFixture::TearDown();
    }

    std::filesystem::path file(const std::string& name) const { return EKEventStore::calendarsFolder() / "work/meetings" / name; }

    void writeMeeting(const std::string& name, const std::string& title, const std::string& start)
    {
        std::filesystem::create_directories(file(name).parent_path());
        std::ofstream(file(name), std::ios::binary | std::ios::trunc)
            << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" << name << "\r\nSUMMARY:" << title
            << "\r\nDTSTART;TZID=Europe/Berlin:" << start << "\r\nDURATION:PT1H\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    }

    // What a new store (a new process, as far as the cache can tell) finds on the day.
    std::vector<std::string> titlesOnTheDay()
    {
        auto store = EKEventStore::init();
        auto events = store->eventsMatchingPredicate(store->predicateForEventsWithStartDate(
            NSDate(localTime("2026-12-08T00:00:00")), NSDate(localTime("2026-12-08T23:59:59")), std::nullopt));
        std::vector<std::string> titles;
        for (const auto& event : events)
            titles.push_back(event->title() + "@" + std::to_string(static_cast<int64_t>(event->startDate().timeIntervalSince1970())));
        return titles;
    }

    // Rewrites a file in place with the same size, inode and modification time: a change the
    // cache cannot see, which shows whether a store took the file from the cache.
    void rewriteUnseen(const std::string& name, const std::string& from, const std::string& to)
    {
        struct stat before { };
        ASSERT_EQ(stat(file(name).c_str(), &before), 0);
        std::string text;
        ASSERT_TRUE(readFile(file(name), text));
        auto at = text.find(from);
        ASSERT_NE(at, std::string::npos);
        text = text.substr(0, at) + to + text.substr(at + from.size());
        std::fstream(file(name), std::ios::binary | std::ios::in | std::ios::out) << text;
        struct timespec times[2] = { before.st_atim, before.st_mtim };
        ASSERT_EQ(utimensat(AT_FDCWD, file(name).c_str(), times, 0), 0);
    }

    void writeFile(const std::string& name, const std::string& events)
    {
        std::filesystem::create_directories(file(name).parent_path());
        std::ofstream(file(name), std::ios::binary | std::ios::trunc) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" << events << "END:VCALENDAR\r\n";
    }

    static std::string describe(const std::shared_ptr<EKEvent>& event)
    {
        if (!event)
            return "none";
        return event->title() + " " + std::to_string(static_cast<int64_t>(event->startDate().timeIntervalSince1970())) + "-"
            + std::to_string(static_cast<int64_t>(event->endDate().timeIntervalSince1970())) + " " + event->eventIdentifier() + " "
            + std::to_string(static_cast<int64_t>(event->occurrenceDate().timeIntervalSince1970())) + (event->isDetached() ? " detached" : "");
    }

    // Everything a store answers about the calendars written by writeSeriesAndSingles.
    std::vector<std::string> answers(EKEventStore& store)
    {
        std::vector<std::string> seen;
        const std::pair<const char*, const char*> ranges[] = { { "2026-12-08T00:00:00", "2026-12-08T23:59:59" },
            { "2026-12-09T00:00:00", "2026-12-09T23:59:59" }, { "2026-12-15T08:00:00", "2026-12-15T12:00:00" },
            { "2027-03-01T00:00:00", "2027-03-07T23:59:59" }, { "2025-01-01T00:00:00", "2028-01-01T00:00:00" } };
        for (const auto& [from, to] : ranges) {
            auto events = store.eventsMatchingPredicate(
                store.predicateForEventsWithStartDate(NSDate(localTime(from)), NSDate(localTime(to)), std::nullopt));
            seen.push_back(std::string(from) + ": " + std::to_string(events.size()));
            for (const auto& event : events)
                seen.push_back(describe(event));
        }
        for (const char* uid : { "standup", "review", "lunch", "nothing" })
            seen.push_back(describe(store.eventWithUUID(uid)));
        seen.push_back(describe(store.eventWithUniqueId("work/meetings/review")));
        seen.push_back(describe(store.eventWithUniqueId("work/meetings/standup", NSDate(localTime("2026-12-08T09:00:00")))));
        seen.push_back(describe(store.eventWithUniqueId("work/meetings/standup", NSDate(localTime("2026-12-15T09:00:00")))));
        return seen;
    }

    // A long weekly series with one occurrence moved by another file, a counted series, and
    // single events on and off the day.
    void writeSeriesAndSingles()
    {
        writeFile("standup.ics", "BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20261102T090000\r\n"
                                 "DURATION:PT15M\r\nRRULE:FREQ=WEEKLY;BYDAY=TU;UNTIL=20270601T000000Z\r\nEND:VEVENT\r\n");
        writeFile("standup-moved.ics", "BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup moved\r\n"
                                       "RECURRENCE-ID;TZID=Europe/Berlin:20261208T090000\r\n"
                                       "DTSTART;TZID=Europe/Berlin:20261208T100000\r\nDURATION:PT15M\r\nEND:VEVENT\r\n");
        writeFile("review.ics", "BEGIN:VEVENT\r\nUID:review\r\nSUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20261104T140000\r\n"
                                "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=20\r\nEND:VEVENT\r\n");
        writeFile("lunch.ics", "BEGIN:VEVENT\r\nUID:lunch\r\nSUMMARY:Lunch\r\nDTSTART;TZID=Europe/Berlin:20261208T120000\r\n"
                               "DURATION:PT1H\r\nEND:VEVENT\r\n");
        writeFile("lunch-copy.ics", "BEGIN:VEVENT\r\nUID:lunch\r\nSUMMARY:Lunch again\r\nDTSTART;TZID=Europe/Berlin:20261208T120000\r\n"
                                    "DURATION:PT1H\r\nEND:VEVENT\r\n");
        writeFile("trip.ics", "BEGIN:VEVENT\r\nUID:trip\r\nSUMMARY:Trip\r\nDTSTART;VALUE=DATE:20261209\r\n"
                              "DTEND;VALUE=DATE:20261212\r\nEND:VEVENT\r\n");
        writeFile("old.ics", "BEGIN:VEVENT\r\nUID:old\r\nSUMMARY:Old\r\nDTSTART:20250301T100000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n");
    }

    std::filesystem::path m_cacheFile;
};

TEST_F(CalendarCacheTest, AStoreThatReadsFromTheCacheAnswersAsOneThatReadsTheFiles)
{
    writeSeriesAndSingles();
    EKEventStore::keepReadCalendarsIn(std::nullopt);
    auto read = answers(*EKEventStore::init());
    ASSERT_GT(read.size(), 10u);
    EXPECT_NE(std::find(read.begin(), read.end(), "none"), read.end());

    EKEventStore::keepReadCalendarsIn(m_cacheFile);
    // The first store fills the cache; the second takes every file from it, and a third also the
    // expansions of the series the second kept.
    for (int pass = 0; pass < 3; ++pass) {
        auto store = EKEventStore::init();
        EXPECT_EQ(answers(*store), read) << "pass " << pass;
        store->saveReadCalendars();
    }
    // Asked first by UID or by occurrence, before any range, a cached store finds the same.
    auto store = EKEventStore::init();
    EXPECT_EQ(describe(store->eventWithUniqueId("work/meetings/standup", NSDate(localTime("2026-12-08T09:00:00")))), read[read.size() - 2]);
    EXPECT_EQ(describe(store->eventWithUUID("lunch")), read[read.size() - 5]);
}

TEST_F(CalendarCacheTest, AnUnchangedFileIsTakenFromTheCacheAChangedOneIsReadAgain)
{
    writeMeeting("a.ics", "Alpha", "20261208T090000");
    writeMeeting("b.ics", "Bravo", "20261208T110000");
    auto first = titlesOnTheDay();
    ASSERT_EQ(first.size(), 2u);
    ASSERT_TRUE(std::filesystem::exists(m_cacheFile));

    rewriteUnseen("a.ics", "Alpha", "Omega");
    EXPECT_EQ(titlesOnTheDay(), first) << "the unchanged stamp must take the file from the cache";

    // A change the stamp shows (here the size) is read again, and the others still come cached.
    writeMeeting("b.ics", "Bravo two", "20261208T120000");
    auto after = titlesOnTheDay();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], first[0]);
    EXPECT_EQ(after[1].substr(0, 10), "Bravo two@");

    // A file gone from the calendars leaves the cache with the next save.
    std::filesystem::remove(file("b.ics"));
    EXPECT_EQ(titlesOnTheDay().size(), 1u);
    CalendarCache cache(m_cacheFile);
    cache.useTimeZone(timeZone());
    struct stat info { };
    ASSERT_EQ(stat(file("a.ics").c_str(), &info), 0);
    EXPECT_TRUE(cache.find("work/meetings/a.ics",
        { static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, static_cast<uint64_t>(info.st_size),
            static_cast<uint64_t>(info.st_ino) }));
    EXPECT_FALSE(cache.find("work/meetings/b.ics", {}));
}

TEST_F(CalendarCacheTest, EntriesAreFoundInAnyOrderAndAsOftenAsAsked)
{
    const char* names[] = { "a.ics", "b.ics", "c.ics" };
    for (const char* name : names)
        writeMeeting(name, name, "20261208T090000");
    titlesOnTheDay();
    auto stampOf = [&](const char* name) {
        struct stat info { };
        stat(file(name).c_str(), &info);
        return CalendarFileStamp { static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            static_cast<uint64_t>(info.st_size), static_cast<uint64_t>(info.st_ino) };
    };
    auto found = [&](CalendarCache& cache, const char* name) {
        auto entry = cache.lookUp(std::string("work/meetings/") + name, stampOf(name));
        auto content = entry ? entry->decode() : nullptr;
        return content && content->events.size() == 1 && content->events[0].summary == name;
    };
    for (const auto& order : { std::vector<int> { 0, 1, 2, 0, 2 }, std::vector<int> { 2, 0, 1, 1 }, std::vector<int> { 1, 2, 0 } }) {
        CalendarCache cache(m_cacheFile);
        cache.useTimeZone(timeZone());
        for (int index : order)
            EXPECT_TRUE(found(cache, names[index])) << names[index];
        EXPECT_FALSE(cache.lookUp("work/meetings/d.ics", stampOf("a.ics")));
        EXPECT_FALSE(cache.needsSaving(3)) << "nothing was remembered and every entry is still there";
        EXPECT_TRUE(cache.needsSaving(2));
    }
}

TEST_F(CalendarCacheTest, EntriesReadInAnotherTimeZoneAreNotUsed)
{
    writeMeeting("a.ics", "Alpha", "20261208T090000");
    titlesOnTheDay();
    rewriteUnseen("a.ics", "Alpha", "Omega");
    setenv("TZ", "America/New_York", 1);
    tzset();
    auto inNewYork = titlesOnTheDay();
    setenv("TZ", timeZone(), 1);
    tzset();
    ASSERT_EQ(inNewYork.size(), 1u);
    EXPECT_EQ(inNewYork[0].substr(0, 6), "Omega@");
}

TEST_F(CalendarCacheTest, ADamagedCacheCostsAParseNeverAnEvent)
{
    writeMeeting("a.ics", "Alpha", "20261208T090000");
    auto right = titlesOnTheDay();
    std::string bytes;
    ASSERT_TRUE(readFile(m_cacheFile, bytes));
    for (size_t size : { size_t(0), size_t(10), bytes.size() / 2, bytes.size() - 1 }) {
        ASSERT_TRUE(writeFileAtomically(m_cacheFile, std::string_view(bytes).substr(0, size)));
        EXPECT_EQ(titlesOnTheDay(), right) << size;
    }
    // Another program's file in its place is not taken either.
    ASSERT_TRUE(writeFileAtomically(m_cacheFile, "Hushline calendar cache 0\nold"));
    EXPECT_EQ(titlesOnTheDay(), right);
    // And a cache that cannot be written leaves the calendars readable.
    EKEventStore::keepReadCalendarsIn(std::filesystem::path("/proc/hushline-no-such-folder/calendars.cache"));
    EXPECT_EQ(titlesOnTheDay(), right);
}

}
