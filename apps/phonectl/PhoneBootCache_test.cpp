#include "apps/testsupport/PhonectlFixture.h"

#include <sstream>

#include "platform/eventkit/CalendarCache.h"

#include <fstream>

// The home screen reads the calendars through the cache outside the phone: a boot from the cache
// and a boot from the files give the same phone, and the files always win over the cache.
namespace {

class PhoneBootCacheTest : public PhonectlFixture {
protected:
    std::filesystem::path cacheFile() const { return *CalendarCache::userCacheFile(m_root / "var/mobile/Calendars"); }

    // What the phone has armed, and what it does with the rest of the morning (its changes as
    // `log` lists them; a boot starts the list afresh).
    std::string dayFromBoot()
    {
        boot();
        std::string timers = state("wakeUpTimers").description();
        ok({ "clock", "advance", "10800" });
        std::string log = ok({ "log" });
        ok({ "stop" });
        const std::string heading = "== the device's changes ==\n";
        auto from = log.find(heading);
        std::string changes = from == std::string::npos ? std::string() : log.substr(from + heading.size());
        changes = changes.substr(0, changes.find("\n== "));
        // A vibrate setting is noted when its Darwin notification comes back over the phone's
        // bus, at whatever virtual time the clock's advance has reached by then: those lines
        // are compared on their own, in their order, without their times.
        std::string kept, notified;
        std::istringstream lines(changes);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("(notify_post)") != std::string::npos)
                notified += line.substr(line.find("  ") + 2) + "\n";
            else
                kept += line + "\n";
        }
        return timers + "\n" + kept + "== notified ==\n" + notified;
    }

    std::filesystem::path eventFile(const std::string& calendar)
    {
        for (const auto& entry : std::filesystem::directory_iterator(m_root / "var/mobile/Calendars/local" / calendar))
            if (entry.path().extension() == ".ics")
                return entry.path();
        return {};
    }

    // Moves the event of the file from one start and end to others ("HHMM", local times), as a
    // calendar client rewrites the file in place.
    static void moveEvent(const std::filesystem::path& file, const std::string& from, const std::string& to)
    {
        std::string text;
        ASSERT_TRUE(readFile(file, text));
        auto at = text.find("20261208T" + from);
        ASSERT_NE(at, std::string::npos) << text;
        text.replace(at + 9, 4, to);
        std::ofstream(file, std::ios::trunc) << text;
    }
};

}

TEST_F(PhoneBootCacheTest, ABootFromTheCacheGivesTheSameTimersAndTheSameDayAsABootFromTheFiles)
{
    addEvent("Work", "Standup", "09:00", "09:30");
    addEvent("Work", "Review", "10:15", "11:00");
    // Apart from one another: a revert and an apply in the same second interleave their steps
    // by when each process is scheduled, cache or not.
    addEvent("Home", "Dentist", "11:10", "11:40");
    ASSERT_FALSE(std::filesystem::exists(cacheFile()));
    std::string fromFiles = dayFromBoot();
    ASSERT_TRUE(std::filesystem::exists(cacheFile())) << "the home screen keeps what it read";
    EXPECT_NE(fromFiles.find("2026-12-08T09:00:00"), std::string::npos) << fromFiles;
    std::string fromCache = dayFromBoot();
    EXPECT_EQ(fromCache, fromFiles);
}

TEST_F(PhoneBootCacheTest, FilesEditedAddedOrRemovedWhileThePhoneWasOffAreSeenAtTheNextBoot)
{
    addEvent("Work", "Standup", "09:00", "09:30");
    addEvent("Home", "Dentist", "11:30", "12:00");
    boot();
    EXPECT_NE(state("wakeUpTimers").description().find("09:00:00"), std::string::npos);
    ok({ "stop" });

    // The standup moves to 9:45 and ends at 10:15, the dentist is cancelled, and a review is
    // added to Work.
    auto standup = eventFile("Work");
    moveEvent(standup, "0900", "0945");
    moveEvent(standup, "0930", "1015");
    std::filesystem::remove(eventFile("Home"));
    addEvent("Work", "Review", "10:30", "11:00");
    boot();
    std::string timers = state("wakeUpTimers").description();
    EXPECT_NE(timers.find("09:45:00"), std::string::npos) << timers;
    ok({ "clock", "advance", "3600" });
    EXPECT_TRUE(isApplied()) << "the moved standup";
    ok({ "clock", "advance", "2400" });
    EXPECT_TRUE(isApplied()) << "the review";
    ok({ "clock", "advance", "3600" });
    EXPECT_FALSE(isApplied()) << "no dentist any more";
}

TEST_F(PhoneBootCacheTest, ADamagedCacheCostsAParseAndNothingElse)
{
    addEvent("Work", "Standup", "09:00", "09:30");
    std::string fromFiles = dayFromBoot();
    std::string bytes;
    ASSERT_TRUE(readFile(cacheFile(), bytes));
    // Every other byte of the entries' part flipped, and then a cache cut short.
    for (size_t at = bytes.size() / 2; at < bytes.size(); at += 2)
        bytes[at] = static_cast<char>(~bytes[at]);
    std::ofstream(cacheFile(), std::ios::trunc | std::ios::binary) << bytes;
    EXPECT_EQ(dayFromBoot(), fromFiles);
    std::ofstream(cacheFile(), std::ios::trunc | std::ios::binary) << bytes.substr(0, bytes.size() / 3);
    EXPECT_EQ(dayFromBoot(), fromFiles);
    EXPECT_EQ(dayFromBoot(), fromFiles) << "the cache written again is whole";
}
