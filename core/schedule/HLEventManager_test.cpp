#include "core/schedule/HLEventManager.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "core/profile/EKEvent+Hushline.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/eventkit/ICalendarWriter.h"
#include "platform/testsupport/DeviceFixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class HLEventManagerTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        writeText("work/displayname", "Work");
        writeText("home/displayname", "Home");
        std::filesystem::create_directories(EKEventStore::calendarsFolder() / "work/meetings");
        std::filesystem::create_directories(EKEventStore::calendarsFolder() / "work/travel");
        std::filesystem::create_directories(EKEventStore::calendarsFolder() / "home/family");
        std::filesystem::create_directories(EKEventStore::calendarsFolder() / "home/holidays");
        chmod((EKEventStore::calendarsFolder() / "home/holidays").c_str(), 0555);
    }

    void TearDown() override
    {
        chmod((EKEventStore::calendarsFolder() / "home/holidays").c_str(), 0755);
        DeviceFixture::TearDown();
    }

    void writeText(const std::string& path, const std::string& text)
    {
        auto file = EKEventStore::calendarsFolder() / path;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    void writeEvent(const std::string& calendar, const std::string& title, const std::string& start, const std::string& end,
        EKEventStatus status = EKEventStatusNone)
    {
        ICalendarEventDescription event;
        event.uid = title;
        event.title = title;
        event.startDate = NSDate(localTime(start));
        event.endDate = NSDate(localTime(end));
        event.status = status;
        ASSERT_TRUE(writeICalendarEvent(EKEventStore::calendarsFolder() / calendar, event));
    }

    static std::shared_ptr<HLProfile> profile(std::vector<std::string> calendars, bool allDay = false)
    {
        auto p = HLProfile::init();
        p->setTitle("Office");
        p->setEnabled(true);
        p->setAllDay(allDay);
        p->setStartTime("9:00 AM");
        p->setEndTime("5:00 PM");
        p->setCalendarIdentifiers(std::move(calendars));
        return p;
    }

    static std::vector<std::string> titles(const std::optional<HLEventManager::Events>& events)
    {
        std::vector<std::string> result;
        for (const auto& event : events.value_or(HLEventManager::Events {}))
            result.push_back(event->title());
        return result;
    }

    static std::vector<std::string> identifiers(const HLEventManager::Calendars& calendars)
    {
        std::vector<std::string> result;
        for (const auto& calendar : calendars)
            result.push_back(calendar->calendarIdentifier());
        return result;
    }

    HLEventManager& manager() { return HLEventManager::sharedManager(); }
};

TEST_F(HLEventManagerTest, WritableCalendarsGroupedByAccountFillAnUnsetProfile)
{
    auto groups = manager().groupedCalendars();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(identifiers(groups["Home"]), std::vector<std::string> { "home/family" }) << "read-only calendars are left out";
    EXPECT_EQ(identifiers(groups["Work"]), (std::vector<std::string> { "work/meetings", "work/travel" }));
    EXPECT_EQ(identifiers(manager().calendars()),
        (std::vector<std::string> { "home/family", "home/holidays", "work/meetings", "work/travel" }));

    auto unset = HLProfile::init();
    EXPECT_EQ(unset->calendarIdentifiers(), (std::vector<std::string> { "home/family", "work/meetings", "work/travel" }));
    auto none = HLProfile::init();
    none->setCalendarIdentifiers(std::vector<std::string> {});
    EXPECT_TRUE(none->calendarIdentifiers().empty());
}

TEST_F(HLEventManagerTest, AllCalendarsFollowsTheStoreOrderOnceEach)
{
    EXPECT_EQ(identifiers(manager().allCalendars({ "work/travel", "gone/away", "home/family", "work/travel" })),
        (std::vector<std::string> { "home/family", "work/travel" }));
    EXPECT_TRUE(manager().allCalendars({}).empty());
    EXPECT_TRUE(manager().allCalendars({ "gone/away" }).empty());
}

TEST_F(HLEventManagerTest, AProfileWithoutExistingCalendarsHasNoEvents)
{
    writeEvent("work/meetings", "Stand-up", "2026-12-08T09:00:00", "2026-12-08T09:15:00");
    EXPECT_EQ(manager().eventsForProfile(profile({})), std::nullopt);
    EXPECT_EQ(manager().eventsForProfile(profile({ "gone/away" })), std::nullopt);
    auto found = manager().eventsForProfile(profile({ "gone/away", "work/meetings" }));
    ASSERT_TRUE(found);
    EXPECT_EQ(titles(found), std::vector<std::string> { "Stand-up" });
}

TEST_F(HLEventManagerTest, ActiveHoursKeepEventsThatHaveNotEndedOrOutlastTheWindow)
{
    writeEvent("work/meetings", "Breakfast", "2026-12-08T07:00:00", "2026-12-08T08:00:00");
    writeEvent("work/meetings", "Dinner", "2026-12-08T18:00:00", "2026-12-08T19:00:00");
    writeEvent("work/meetings", "Lunch", "2026-12-08T12:00:00", "2026-12-08T13:00:00");
    writeEvent("work/meetings", "Called off", "2026-12-08T10:00:00", "2026-12-08T11:00:00", EKEventStatusCanceled);
    writeEvent("work/travel", "Yesterday", "2026-12-07T10:00:00", "2026-12-07T11:00:00");

    setClock("2026-12-08T06:00:00");
    auto office = profile({ "work/meetings", "work/travel" });
    auto early = manager().eventsForProfile(office);
    EXPECT_EQ(titles(early), (std::vector<std::string> { "Breakfast", "Lunch", "Dinner" }));
    for (const auto& event : *early)
        EXPECT_EQ(hl_profile(event), office);
    EXPECT_EQ(logCount("**** 2. Event 'Called off' is cancelled, hence ignoring it."), 1u) << logText();

    setClock("2026-12-08T08:30:00");
    EXPECT_EQ(titles(manager().eventsForProfile(office)), (std::vector<std::string> { "Lunch", "Dinner" }));
    setClock("2026-12-08T19:30:00");
    EXPECT_EQ(titles(manager().eventsForProfile(office)), std::vector<std::string> { "Dinner" }) << "it ends after the window";
}

TEST_F(HLEventManagerTest, AnAllDayProfileTakesEveryEventOfTodayButCanceledOnes)
{
    writeEvent("work/meetings", "Breakfast", "2026-12-08T07:00:00", "2026-12-08T08:00:00");
    writeEvent("work/meetings", "Called off", "2026-12-08T10:00:00", "2026-12-08T11:00:00", EKEventStatusCanceled);
    writeEvent("home/family", "Late", "2026-12-08T23:00:00", "2026-12-09T01:00:00");
    setClock("2026-12-08T20:00:00");
    auto events = manager().eventsForProfile(profile({ "work/meetings", "home/family" }, true));
    EXPECT_EQ(titles(events), (std::vector<std::string> { "Breakfast", "Late" }));
    EXPECT_EQ(logCount("Information => HLEventManager::eventsForProfile, [Line "), 1u);
    EXPECT_EQ(logCount("**** 1. Event 'Called off' is cancelled, hence ignoring it."), 1u) << logText();
}

TEST_F(HLEventManagerTest, EventsForTodayFollowTheProfilesWhoseWindowIsOpen)
{
    writeEvent("work/meetings", "Meeting", "2026-12-08T10:00:00", "2026-12-08T11:00:00");
    writeEvent("home/family", "Family", "2026-12-08T19:00:00", "2026-12-08T20:00:00");
    writeEvent("work/travel", "Flight", "2026-12-08T12:00:00", "2026-12-08T14:00:00");
    auto& store = HLProfilesManager::sharedManager();
    auto disabled = profile({ "work/travel" }, true);
    disabled->setEnabled(false);
    store.profiles() = { profile({ "work/meetings" }), profile({ "home/family" }, true), disabled };

    setClock("2026-12-08T08:00:00");
    EXPECT_EQ(titles(manager().eventsForToday()), std::vector<std::string> { "Family" });
    setClock("2026-12-08T09:00:00");
    EXPECT_EQ(titles(manager().eventsForToday()), (std::vector<std::string> { "Meeting", "Family" }));
    auto identifiers = store.calendarIdentifiers();
    std::sort(identifiers.begin(), identifiers.end());
    EXPECT_EQ(identifiers, (std::vector<std::string> { "home/family", "work/meetings" }));
}

TEST_F(HLEventManagerTest, ScheduledValuesLiveOnTheEventObjectOnly)
{
    writeEvent("work/meetings", "Meeting", "2026-12-08T10:00:00", "2026-12-08T11:00:00");
    writeEvent("work/meetings", "Called off", "2026-12-08T12:00:00", "2026-12-08T13:00:00", EKEventStatusCanceled);
    HLProfilesManager::sharedManager().profiles() = { profile({ "work/meetings" }, true) };
    auto events = manager().eventsForToday();
    ASSERT_EQ(events.size(), 2u);
    auto meeting = events[0];
    EXPECT_EQ(hl_profile(meeting), nullptr);
    EXPECT_FALSE(hl_isProfileApplied(meeting));
    hl_setProfileApplied(meeting, true);
    EXPECT_TRUE(hl_isProfileApplied(meeting));
    EXPECT_FALSE(hl_isProfileApplied(manager().eventByIdentifier(meeting->eventIdentifier())));
    EXPECT_EQ(manager().eventWithUUID("Meeting")->title(), "Meeting");
    EXPECT_EQ(manager().eventWithUniqueId("work/meetings/Meeting", meeting->startDate())->startDate(), meeting->startDate());
    EXPECT_EQ(manager().eventWithUniqueId("work/meetings/None"), nullptr);

    setClock("2026-12-08T09:59:59");
    EXPECT_FALSE(hl_isOccuring(meeting));
    setClock("2026-12-08T10:00:00");
    EXPECT_TRUE(hl_isOccuring(meeting));
    setClock("2026-12-08T11:00:00");
    EXPECT_TRUE(hl_isOccuring(meeting));
    setClock("2026-12-08T12:30:00");
    EXPECT_FALSE(hl_isOccuring(events[1])) << "a canceled event never runs";
}

TEST_F(HLEventManagerTest, TheAttendanceFilterReadsOutOfRangeValuesAsAll)
{
    auto p = profile({});
    const std::pair<int64_t, const char*> cases[] = { { 0, "All" }, { 1, "Accepted" }, { 2, "Tentative" },
        { 3, "Declined/Cancelled" }, { 7, "All" }, { -1, "All" } };
    for (const auto& [stored, label] : cases) {
        p->setApplyProfileEventStatus(stored);
        EXPECT_EQ(p->applyProfileEventStatusString(), label) << stored;
    }
    // With the settings bundle installed, its string table gives the label.
    installSettingsBundle();
    std::ofstream(phonePath(kHLPreferencesBundlePath) / "en.lproj/Localizable.strings")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        << "<key>Tentative</key><string>Maybe</string></dict></plist>\n";
    p->setApplyProfileEventStatus(2);
    EXPECT_EQ(p->applyProfileEventStatusString(), "Maybe");
}

} // namespace
