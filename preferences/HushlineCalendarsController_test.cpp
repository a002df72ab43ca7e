#include "preferences/testsupport/PickerFixture.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HushlineCalendarsController.h"
#include "preferences/HushlineEventStatusController.h"

#include "platform/testsupport/FailingWrites.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Contains;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

class HushlineCalendarsControllerTest : public PickerFixture {
protected:
    void SetUp() override
    {
        PickerFixture::SetUp();
        writeCalendar("work", "work", "team", "Team", "#3366FF");
        writeCalendar("icloud", "iCloud", "home", "Home", "#FF2D55");
        writeCalendar("icloud", "iCloud", "family", "Family", std::nullopt);
        writeCalendar("other", "Other", "holidays", "Holidays", "#34C759", false);
        writeCalendar("other", "Other", "gym", "Gym", "#FF9500");
    }

    std::shared_ptr<HushlineCalendarsController> openCalendars(const PlistDictionary& fields = {})
    {
        return openForNewProfile<HushlineCalendarsController>("HushlineCalendarsController", fields);
    }
    static std::shared_ptr<PSTableCell> cellNamed(HushlineCalendarsController& picker, const std::string& name)
    {
        long index = rowIndex(picker, name);
        return index < 0 ? nullptr : picker.tableViewCellForRow(static_cast<size_t>(index));
    }
    static std::vector<std::string> checkedRows(HushlineCalendarsController& picker) { return PickerFixture::checkedRows(picker, RowName::Identifier); }
    std::vector<std::string> storedCalendars() const { return storedStrings("calendarIdentifiers"); }
};

TEST_F(HushlineCalendarsControllerTest, AccountsAreSortedRegardlessOfCaseWithOneRowPerWritableCalendar)
{
    auto picker = openCalendars();
    ASSERT_TRUE(picker);
    EXPECT_THAT(rowNames(*picker), ElementsAre("[group]", "Ignore All Day Events", "[group]", "Event Status", "[iCloud]", "Family", "Home",
                                        "[Other]", "Gym", "[work]", "Team", "[group]"));
    auto team = picker->specifierAtIndex(static_cast<size_t>(rowIndex(*picker, "Team")));
    EXPECT_EQ(team->identifier(), "work/team");
    EXPECT_EQ(team->cellType(), PSCellType::Link);
    EXPECT_EQ(team->propertyForKey("cellClass"), PlistValue("HLCalendarTableCell"));
    EXPECT_EQ(picker->specifiers().back()->identifier(), "CopyRightHeader");
    EXPECT_TRUE(picker->specifiers().back()->propertyForKey("footerText").asString());
    EXPECT_EQ(picker->specifierAtIndex(0)->propertyForKey("footerText"),
        PlistValue("When turned on HushlineMe ignores the 'all day' events for the below selected calendars."));
}

TEST_F(HushlineCalendarsControllerTest, EachCalendarShowsARoundedSquareOfItsColour)
{
    auto picker = openCalendars();
    auto icon = cellNamed(*picker, "Team")->iconImage();
    ASSERT_TRUE(icon && icon->drawing());
    EXPECT_EQ(icon->size().width, 5);
    EXPECT_EQ(icon->size().height, 5);
    EXPECT_EQ(icon->scale(), 1.0);
    EXPECT_FALSE(icon->drawing()->opaque);
    EXPECT_EQ(icon->drawing()->clipCornerRadius, 10);
    EXPECT_TRUE(icon->drawing()->fillColor->isEqual(UIColor::colorWithRed(0x33 / 255.0, 0x66 / 255.0, 1, 1)));
    auto home = cellNamed(*picker, "Home")->iconImage();
    EXPECT_TRUE(home->drawing()->fillColor->isEqual(UIColor::colorWithRed(1, 0x2D / 255.0, 0x55 / 255.0, 1)));
}

TEST_F(HushlineCalendarsControllerTest, TappingACheckedCalendarRemovesExactlyItAndTappingAgainAppendsIt)
{
    auto picker = openCalendars({ { "calendarIdentifiers", PlistArray { "work/team", "icloud/home", "other/gym" } } });
    EXPECT_THAT(checkedRows(*picker), ElementsAre("icloud/home", "other/gym", "work/team"));

    tapRow(*picker, "Home");
    EXPECT_FALSE(cellNamed(*picker, "Home")->isChecked());
    EXPECT_THAT(storedCalendars(), ElementsAre("work/team", "other/gym"));
    EXPECT_EQ(m_navigation->topViewController(), picker);

    tapRow(*picker, "Home");
    EXPECT_TRUE(cellNamed(*picker, "Home")->isChecked());
    EXPECT_THAT(storedCalendars(), ElementsAre("work/team", "other/gym", "icloud/home"));
}

TEST_F(HushlineCalendarsControllerTest, AnEmptiedListShowsNoCheckmarkAndANeverSetListChecksEveryWritableCalendar)
{
    auto never = openCalendars();
    EXPECT_THAT(checkedRows(*never), ElementsAre("icloud/family", "icloud/home", "other/gym", "work/team"));

    auto emptied = open<HushlineCalendarsController>("HushlineCalendarsController", storeProfile({ { "calendarIdentifiers", PlistArray {} } }));
    EXPECT_THAT(checkedRows(*emptied), IsEmpty());
}

TEST_F(HushlineCalendarsControllerTest, UntickingTheLastCalendarMeansEveryCalendarAsTheEditorsFooterSays)
{
    auto picker = openCalendars({ { "calendarIdentifiers", PlistArray { "other/gym" } } });
    tapRow(*picker, "Gym");
    // Every writable calendar applies again, on the screen and in the file.
    EXPECT_THAT(checkedRows(*picker), ElementsAre("icloud/family", "icloud/home", "other/gym", "work/team"));
    EXPECT_THAT(storedCalendars(), UnorderedElementsAre("icloud/family", "icloud/home", "other/gym", "work/team"));
    tapRow(*picker, "Home");
    EXPECT_THAT(storedCalendars(), Not(Contains("icloud/home")));
}

TEST_F(HushlineCalendarsControllerTest, ACalendarTheStoreCouldNotKeepShowsItsStoredCheckmarkAgain)
{
    auto picker = openCalendars({ { "calendarIdentifiers", PlistArray { "work/team", "icloud/home" } } });
    {
        FailingWrites full;
        tapRow(*picker, "Home");
    }
    EXPECT_THAT(storedCalendars(), ElementsAre("work/team", "icloud/home"));
    EXPECT_THAT(checkedRows(*picker), ElementsAre("icloud/home", "work/team"));
    EXPECT_TRUE(presentedAlert(*picker));
}

TEST_F(HushlineCalendarsControllerTest, TheIgnoreAllDaySwitchIsReadAndWrittenOnTheProfile)
{
    auto picker = openCalendars({ { "allDayEventsIgnored", false } });
    auto index = static_cast<size_t>(rowIndex(*picker, "Ignore All Day Events"));
    EXPECT_EQ(picker->specifierAtIndex(index)->identifier(), "allDayEventsIgnored");
    EXPECT_EQ(picker->tableViewCellForRow(index)->value(), PlistValue(false));
    picker->controlChanged(index, PlistValue(true));
    EXPECT_EQ(storedEntry()["allDayEventsIgnored"], PlistValue(true));
    EXPECT_EQ(picker->tableViewCellForRow(index)->value(), PlistValue(true));
}

TEST_F(HushlineCalendarsControllerTest, TheEventStatusRowShowsTheFilterAndOpensItsPicker)
{
    auto picker = openCalendars({ { "applyProfileEventStatus", 2 } });
    auto index = static_cast<size_t>(rowIndex(*picker, "Event Status"));
    EXPECT_EQ(index, 3u);
    auto cell = picker->tableViewCellForRow(index);
    EXPECT_EQ(cell->detailTextLabel().text, "Tentative");
    EXPECT_TRUE(cell->detailTextLabel().textColor->isEqual(UIColor::darkGrayColor()));
    EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryType::DisclosureIndicator);

    picker->tableViewDidSelectRow(index);
    auto status = std::dynamic_pointer_cast<HushlineEventStatusController>(m_navigation->topViewController());
    ASSERT_TRUE(status);
    EXPECT_EQ(status->profile(), m_profile);
}

TEST_F(HushlineCalendarsControllerTest, ANewProfileChangesOnlyInMemory)
{
    auto profile = storeProfile({ { "calendarIdentifiers", PlistArray { "work/team", "other/gym" } } });
    profile->setNewProfile(true);
    auto picker = open<HushlineCalendarsController>("HushlineCalendarsController", profile);
    tapRow(*picker, "Team");
    EXPECT_THAT(profile->calendarIdentifiers(), ElementsAre("other/gym"));
    EXPECT_THAT(storedCalendars(), ElementsAre("work/team", "other/gym"));
}

TEST_F(HushlineCalendarsControllerTest, CalendarRowsAreTintedDarkGreyFromElevenOnAndInTheNavigationColourBefore)
{
    auto picker = openCalendars();
    EXPECT_TRUE(cellNamed(*picker, "Team")->tintColor()->isEqual(UIColor::darkGrayColor()));

    writeSystemVersion("10.3");
    EXPECT_TRUE(cellNamed(*picker, "Team")->tintColor()->isEqual(hl_navigationColor()));
}

TEST_F(HushlineCalendarsControllerTest, AnAppliedStateChangeTakesTheStoredRecord)
{
    auto picker = openCalendars({ { "calendarIdentifiers", PlistArray { "work/team" } } });
    // Another process changed the profile: the store's record now differs from the shown one.
    writeProfiles({ PlistValue(PlistDictionary { { "identifier", kProfileId }, { "title", "Meetings" }, { "enabled", true }, { "allDay", true },
        { "calendarIdentifiers", PlistArray { "other/gym" } } }) });
    HLProfilesManager::sharedManager().profileByIdentifier(kProfileId, true);
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
    EXPECT_THAT(checkedRows(*picker), ElementsAre("other/gym"));
    EXPECT_NE(picker->profile(), m_profile);
}
