#include "apps/phonectl/CalendarLinks.h"

#include "apps/phonectl/ControlClient.h"
#include "apps/testsupport/UserCalendarFolders.h"
#include "platform/eventkit/CalendarIndex.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

// The user's folders linked into a phone, as the phone's calendar database then reads them.
namespace {

// 2026-12-07T00:00:00Z and 2026-12-10T00:00:00Z: around the test's day in any zone.
constexpr double kDaysFrom = 1796601600;
constexpr double kDaysTo = 1796860800;

class CalendarLinksTest : public ::testing::Test {
protected:
    std::filesystem::path phoneCalendars() const { return m_user.base() / "phone/var/mobile/Calendars"; }

    void link(const std::vector<std::filesystem::path>& folders)
    {
        linkCalendarAccounts(m_user.base() / "phone", planCalendarAccounts(folders).accounts);
    }

    // "account title / calendar identifier (title)" of each calendar the phone lists.
    static std::vector<std::string> listed(CalendarIndex& index)
    {
        index.refresh();
        std::vector<std::string> lines;
        for (const auto& calendar : index.calendars())
            lines.push_back(calendar->source()->title() + " / " + calendar->calendarIdentifier() + " (" + calendar->title() + ")");
        return lines;
    }

    // "calendar identifier: title" of each event the phone has on the test's day.
    static std::vector<std::string> events(CalendarIndex& index)
    {
        index.refresh();
        std::vector<std::string> lines;
        for (const auto& event : index.events(kDaysFrom, kDaysTo, nullptr))
            lines.push_back(event->calendar()->calendarIdentifier() + ": " + event->title());
        return lines;
    }

    UserCalendarFolders m_user;
};

}

TEST_F(CalendarLinksTest, ThePhoneListsEveryPairAsAnAccountAndReadsWhatIsSyncedLaterInPlace)
{
    m_user.event("sync/nextcloud/work", "Standup", "09:00", "09:30");
    m_user.field("sync/nextcloud/work", "displayname", "Work");
    m_user.event("sync/google/holidays", "Fair", "12:00", "13:00");
    m_user.event("sync/personal", "Gym", "18:00", "19:00");
    m_user.event(".calendars/private", "Dentist", "11:00", "12:00");
    auto empty = m_user.folder("fresh");
    link({ m_user.base() / "sync", m_user.base() / ".calendars", empty });

    CalendarIndex index(phoneCalendars());
    EXPECT_EQ(listed(index),
        (std::vector<std::string> { "calendars / calendars/private (private)", "google / google/holidays (holidays)",
            "nextcloud / nextcloud/work (Work)", "sync / sync/personal (personal)" }));
    EXPECT_EQ(events(index),
        (std::vector<std::string> { "nextcloud/work: Standup", "calendars/private: Dentist", "google/holidays: Fair", "sync/personal: Gym" }));

    // What vdirsyncer syncs next: a collection of a pair, and the first calendar of the empty folder.
    m_user.event("sync/nextcloud/family", "Play", "15:00", "16:00");
    m_user.event("fresh/team", "Retro", "16:00", "17:00");
    EXPECT_EQ(events(index),
        (std::vector<std::string> { "nextcloud/work: Standup", "calendars/private: Dentist", "google/holidays: Fair", "nextcloud/family: Play",
            "fresh/team: Retro", "sync/personal: Gym" }));
}

TEST_F(CalendarLinksTest, ABootWithOtherFoldersReplacesTheEarlierLinksAndKeepsThePhonesOwnCalendars)
{
    m_user.event("phone/var/mobile/Calendars/local/Work", "Planning", "08:00", "08:30");
    m_user.event("sync/nextcloud/work", "Standup", "09:00", "09:30");
    m_user.event("sync/personal", "Gym", "18:00", "19:00");
    m_user.event("other/holidays", "Fair", "12:00", "13:00");
    link({ m_user.base() / "sync" });
    link({ m_user.base() / "other" });

    CalendarIndex index(phoneCalendars());
    EXPECT_EQ(events(index), (std::vector<std::string> { "local/Work: Planning", "other/holidays: Fair" }));
    EXPECT_TRUE(std::filesystem::exists(m_user.base() / "sync/nextcloud/work/Standup.ics")) << "only the links went";
    EXPECT_TRUE(std::filesystem::exists(m_user.base() / "sync/personal/Gym.ics"));

    m_user.event("mine/local/cal", "Clash", "10:00", "11:00");
    try {
        link({ m_user.base() / "mine" });
        ADD_FAILURE() << "a pair named like the phone's own account is linked";
    } catch (const PhonectlError& error) {
        EXPECT_THAT(error.what(), HasSubstr("the phone already has an account of its own named local"));
    }
    EXPECT_EQ(events(index), (std::vector<std::string> { "local/Work: Planning", "other/holidays: Fair" })) << "nothing changed";
}
