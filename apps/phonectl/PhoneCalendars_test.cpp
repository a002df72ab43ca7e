#include "apps/testsupport/PhonectlFixture.h"
#include "apps/testsupport/UserCalendarFolders.h"

#include "platform/foundation/PropertyList.h"

#include <gmock/gmock.h>
#include <sstream>

using ::testing::HasSubstr;

// The owner's calendar folders given to phonectl boot, as vdirsyncer keeps them, on the virtual
// clock.
namespace {

class PhoneCalendarsTest : public PhonectlFixture {
protected:
    // One profile, all day, following the calendars.
    void followCalendars(const std::vector<std::string>& identifiers)
    {
        PlistDictionary profile { { "identifier", 1000 }, { "title", "Busy" }, { "enabled", true }, { "allDay", true },
            { "ringerVolume", 0.0625 }, { "playBackVolume", 0.0625 }, { "playAlert", false },
            { "calendarIdentifiers", PlistValue(identifiers) } };
        ASSERT_TRUE(PropertyList::write(m_root / "var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist",
            PlistValue(PlistArray { profile })));
    }

    // The lines of phonectl's error output that begin with the prefix.
    static std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }

    void advance(int seconds) { ok({ "clock", "advance", std::to_string(seconds) }); }

    UserCalendarFolders m_user;
};

}

TEST_F(PhoneCalendarsTest, NestedPairsAndASecondFolderAreFollowedAndAFolderNotSyncedYetIsAWarning)
{
    m_user.event("sync/nextcloud/work", "Standup", "09:00", "09:30");
    m_user.event("sync/google/holidays", "Fair", "12:00", "13:00");
    m_user.event(".calendars/private", "Dentist", "11:00", "11:30");
    auto empty = m_user.folder("not-synced");
    followCalendars({ "nextcloud/work", "calendars/private" });
    PhonectlResult booted = phonectl({ "boot", "--clock", "2026-12-08T08:55:00", "--os", "13.3", "--calendars", (m_user.base() / "sync").string(),
        "--calendars", (m_user.base() / ".calendars").string(), "--calendars", empty.string() });
    ASSERT_EQ(booted.status, 0) << booted.err;
    auto warnings = linesStartingWith(booted.err, "phonectl: warning:");
    ASSERT_EQ(warnings.size(), 1u) << booted.err;
    EXPECT_THAT(warnings[0], HasSubstr(empty.string() + " holds no calendar yet"));

    advance(305);
    EXPECT_TRUE(isApplied()) << "09:00: the standup of the pair nextcloud";
    advance(1800);
    EXPECT_FALSE(isApplied());
    advance(5400);
    EXPECT_TRUE(isApplied()) << "11:05: the dentist of ~/.calendars";
    advance(1800);
    EXPECT_FALSE(isApplied());

    // Synced after the boot into the folder that was empty: the shadow phone of today reads it.
    m_user.event("not-synced/team", "Retro", "16:00", "17:00");
    std::string today = ok({ "today" });
    EXPECT_THAT(today, HasSubstr("12:00-13:00 \"Fair\" (holidays): its calendar \"holidays\" is not chosen")) << today;
    EXPECT_THAT(today, HasSubstr("16:00-17:00 \"Retro\" (team)")) << today;
    advance(1800);
    EXPECT_FALSE(isApplied()) << "12:05: the fair of google/holidays is not followed";
}

TEST_F(PhoneCalendarsTest, TwoAccountsOfOneNameKeepThePhoneOff)
{
    m_user.event("a/work/cal", "Standup", "09:00", "09:30");
    m_user.event("b/work/cal", "Review", "10:00", "11:00");
    PhonectlResult clash = phonectl({ "boot", "--calendars", (m_user.base() / "a").string(), "--calendars", (m_user.base() / "b").string() });
    EXPECT_EQ(clash.status, 1);
    EXPECT_THAT(clash.err, HasSubstr("two calendar accounts would be named \"work\""));
    EXPECT_EQ(linesStartingWith(clash.err, "phonectl:").size(), 1u) << clash.err;

    PhonectlResult state = phonectl({ "state" });
    EXPECT_EQ(state.status, 1);
    EXPECT_THAT(state.err, HasSubstr("not booted"));
}
