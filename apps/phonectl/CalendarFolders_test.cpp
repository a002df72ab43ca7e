#include "apps/phonectl/CalendarFolders.h"

#include "apps/phonectl/ControlClient.h"
#include "apps/testsupport/UserCalendarFolders.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

// How folders are told apart; what the phone then lists is in CalendarLinks_test.
namespace {

class CalendarFoldersTest : public ::testing::Test {
protected:
    // Each account as "name: folder" or "name: folder | calendar, ...", relative to the user's base.
    std::vector<std::string> plan(const std::vector<std::string>& folders) const
    {
        std::vector<std::filesystem::path> paths;
        for (const auto& folder : folders)
            paths.push_back(m_user.base() / folder);
        std::vector<std::string> lines;
        for (const auto& account : planCalendarAccounts(paths).accounts) {
            std::string line = account.name + ": " + relative(account.folder);
            for (size_t i = 0; i < account.calendars.size(); ++i)
                line += (i ? ", " : " | ") + relative(account.calendars[i]);
            lines.push_back(line);
        }
        return lines;
    }

    std::string relative(const std::filesystem::path& path) const { return std::filesystem::relative(path, m_user.base()).string(); }

    std::string refusal(const std::vector<std::string>& folders) const
    {
        try {
            plan(folders);
        } catch (const PhonectlError& error) {
            return error.what();
        }
        return "";
    }

    UserCalendarFolders m_user;
};

}

TEST_F(CalendarFoldersTest, CalendarsAccountsAndPairsAreToldApartByWhatTheirFoldersHold)
{
    m_user.event("vdir/work", "Standup", "09:00", "09:30");
    m_user.folder("vdir/empty-collection");
    EXPECT_EQ(plan({ "vdir/" }), std::vector<std::string> { "vdir: vdir" }) << "a trailing slash names the same folder";

    m_user.event("single", "Standup", "09:00", "09:30");
    EXPECT_EQ(plan({ "single" }), std::vector<std::string> { "single: single | single" }) << "events of its own: one calendar";

    m_user.field("pairs/google/holidays", "color", "#ff0000");
    m_user.folder("pairs/fresh");
    m_user.event("pairs/.trash/old", "Gone", "10:00", "11:00");
    EXPECT_EQ(plan({ "pairs" }), (std::vector<std::string> { "fresh: pairs/fresh", "google: pairs/google" }))
        << "beside pairs an empty folder is a pair not synced yet; a dotted one is skipped";
}

TEST_F(CalendarFoldersTest, AnEmptyFolderIsAWarningTwoFoldersOfOneNameAreRefusedAndOneGivenTwiceIsLinkedOnce)
{
    auto empty = m_user.folder("not-synced-yet");
    CalendarAccounts withEmpty = planCalendarAccounts({ empty });
    ASSERT_EQ(withEmpty.warnings.size(), 1u);
    EXPECT_THAT(withEmpty.warnings[0], HasSubstr(empty.string() + " holds no calendar yet"));
    EXPECT_EQ(withEmpty.warnings[0].find('\n'), std::string::npos);
    EXPECT_EQ(plan({ "not-synced-yet" }), std::vector<std::string> { "not-synced-yet: not-synced-yet" }) << "linked whole, to be watched";

    m_user.event("a/sync/work/cal", "Standup", "09:00", "09:30");
    m_user.event("b/sync/work/cal", "Review", "10:00", "11:00");
    EXPECT_EQ(plan({ "a/sync", "a/sync/work", "a/sync/" }), std::vector<std::string> { "work: a/sync/work" });
    std::string refused = refusal({ "a/sync", "b/sync" });
    EXPECT_THAT(refused, HasSubstr("two calendar accounts would be named \"work\": " + (m_user.base() / "a/sync/work").string() + " and "
                             + (m_user.base() / "b/sync/work").string()));
    EXPECT_THAT(refusal({ "a/sync", "nowhere" }), HasSubstr("nowhere: no such folder"));
    m_user.field("a/sync/work/cal", "notes.txt", "a file");
    EXPECT_THAT(refusal({ "a/sync/work/cal/notes.txt" }), HasSubstr("notes.txt: not a folder"));
}
