#include "preferences/testsupport/PreferencesFixture.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HLPreferencesStartup.h"
#include "preferences/HushlineMiscController.h"
#include "preferences/HushlinePreferencesController.h"
#include "preferences/HushlineProflePreferencesController.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <unistd.h>

using ::testing::ElementsAre;
using ::testing::StartsWith;

class HushlinePreferencesControllerTest : public PreferencesFixture {
protected:
    void writeTwoProfiles()
    {
        writeProfiles({ profileEntry(1765180800, "Work", true, true), profileEntry(1765180900, "Night", true, false) });
    }
    size_t postsOf(const std::string& name) const
    {
        const auto& posted = DarwinNotifyCenter::current().postedNames();
        return static_cast<size_t>(std::count(posted.begin(), posted.end(), name));
    }
    PlistValue storedSwitch() const
    {
        auto file = PropertyList::read(HLProfilesManager::settingsFilePath());
        return file ? PlistValue((*file)[kHLEnabledKey]) : PlistValue();
    }
};

TEST_F(HushlinePreferencesControllerTest, WithTheSwitchOffOnlyTheHeaderTheSwitchMiscellaneousAndTodayShow)
{
    writeSettings(false);
    writeTwoProfiles();
    auto root = openRootList();
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[group]", "Miscellaneous", "Today"));
    auto header = root->headerCellForGroup(0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->textLabel().text, "HushlineMe");
    EXPECT_EQ(header->detailTextLabel().text, "Silence your iDevice without noice!!");
    EXPECT_FALSE(root->tableViewCellForRow(1)->value().boolValue());
    ASSERT_TRUE(root->tableViewCellForRow(3)->iconImage());
    EXPECT_EQ(root->tableViewCellForRow(3)->iconImage()->name(), "Misc");
    // The Today row closes the last group and opens the Settings app's Today screen.
    auto today = root->specifierAtIndex(4);
    EXPECT_EQ(today->cellType(), PSCellType::Link);
    EXPECT_EQ(today->detailControllerClass(), "HushlineTodayController");
    ASSERT_TRUE(root->tableViewCellForRow(4)->iconImage());
    EXPECT_EQ(root->tableViewCellForRow(4)->iconImage()->name(), "Today");
    EXPECT_EQ(root->tableViewCellForRow(4)->accessoryType(), UITableViewCellAccessoryType::DisclosureIndicator);
}

TEST_F(HushlinePreferencesControllerTest, ProfilesAreGroupedWithTheirHoursAndAnEmptyGroupSaysNoProfiles)
{
    writeSettings(true);
    writeTwoProfiles();
    auto root = openRootList();
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[Active Profiles]", "Work", "Night", "[Inactive Profiles]",
                                     "No Profiles", "[group]", "Miscellaneous", "Today"));
    auto work = root->tableViewCellForRow(3);
    auto night = root->tableViewCellForRow(4);
    EXPECT_EQ(work->detailTextLabel().text, "All Day");
    EXPECT_EQ(night->detailTextLabel().text, "8:00 AM - 5:00 PM");
    ASSERT_TRUE(night->detailTextLabel().textColor);
    ASSERT_TRUE(night->detailTextLabel().textColor->patternImage());
    EXPECT_EQ(night->detailTextLabel().textColor->patternImage()->name(), "nav");
    EXPECT_TRUE(root->tableViewCellForRow(1)->value().boolValue());
    // Only profile rows can be deleted.
    EXPECT_EQ(root->tableViewEditingStyleForRow(3), UITableViewCellEditingStyle::Delete);
    EXPECT_EQ(root->tableViewEditingStyleForRow(6), UITableViewCellEditingStyle::None);
    EXPECT_EQ(root->tableViewEditingStyleForRow(1), UITableViewCellEditingStyle::None);
}

TEST_F(HushlinePreferencesControllerTest, TheSwitchRemovesAndInsertsExactlyTheProfileGroupsAndAnnouncesEachChange)
{
    writeSettings(true);
    writeProfiles({ profileEntry(1765180800, "Work", false, true) });
    auto root = openRootList();
    auto before = rowNames(*root);
    EXPECT_THAT(before, ElementsAre("[group]", "Enabled", "[Active Profiles]", "No Profiles", "[Inactive Profiles]", "Work", "[group]",
                            "Miscellaneous", "Today"));

    root->controlChanged(1, false);
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[group]", "Miscellaneous", "Today"));
    EXPECT_EQ(root->animatedChanges(), 4u);
    EXPECT_EQ(storedSwitch(), PlistValue(false));
    EXPECT_EQ(postsOf(kHLEnabledOrDisabledNotification), 1u);

    root->controlChanged(1, true);
    EXPECT_EQ(rowNames(*root), before);
    EXPECT_EQ(root->animatedChanges(), 8u);
    EXPECT_EQ(storedSwitch(), PlistValue(true));
    EXPECT_EQ(postsOf(kHLEnabledOrDisabledNotification), 2u);

    // A second round leaves the same rows: the closing group is never taken for a profile group.
    root->controlChanged(1, false);
    root->controlChanged(1, true);
    EXPECT_EQ(rowNames(*root), before);
    EXPECT_EQ(root->animatedChanges(), 16u);
}

TEST_F(HushlinePreferencesControllerTest, WithoutASettingsFileTheSwitchShowsOffAndNothingIsWritten)
{
    writeTwoProfiles();
    auto root = openRootList();
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[group]", "Miscellaneous", "Today"));
    root->controlChanged(1, true);
    EXPECT_FALSE(std::filesystem::exists(HLProfilesManager::settingsFilePath()));
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[group]", "Miscellaneous", "Today"));
    EXPECT_TRUE(root->tableViewCellForRow(1)->value().isNone() || root->tableViewCellForRow(1)->value() == PlistValue(false));
    EXPECT_TRUE(DarwinNotifyCenter::current().postedNames().empty());
}

TEST_F(HushlinePreferencesControllerTest, TheSettingsFileIsReplacedWholeAndAFailedWriteIsShownAndLogged)
{
    writeSettings(true);
    auto root = openRootList();
    // A reader that opened the file before the write still reads the whole old file: the new
    // content arrives by replacing the file, never by rewriting it in place.
    int old = open(HLProfilesManager::settingsFilePath().c_str(), O_RDONLY);
    ASSERT_GE(old, 0);
    root->controlChanged(1, false);
    std::string oldBytes(4096, '\0');
    oldBytes.resize(static_cast<size_t>(pread(old, oldBytes.data(), oldBytes.size(), 0)));
    close(old);
    auto oldContent = PropertyList::parse(oldBytes);
    ASSERT_TRUE(oldContent);
    EXPECT_EQ((*oldContent)[kHLEnabledKey], PlistValue(true));
    EXPECT_EQ(storedSwitch(), PlistValue(false));

    // Now the file cannot be replaced (a folder is in its place).
    std::filesystem::remove(HLProfilesManager::settingsFilePath());
    std::filesystem::create_directories(HLProfilesManager::settingsFilePath() / "blocked");
    root->controlChanged(1, true);
    EXPECT_EQ(logCount("com.velloq.Tessel: Error => Unable to save settings to /var/mobile/Library/Preferences/com.velloq.hushline.plist and settings: "), 1u);
    auto alert = presentedAlert(*root);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    // The reason the system gave follows on a line of its own.
    EXPECT_THAT(alert->message().value_or(""), StartsWith("Unable to save settings.\n"));
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "Close");
    EXPECT_TRUE(alert->tapActionAtIndex(0));
    EXPECT_FALSE(root->presentedViewController());
    // The switch and the rows stay at what the file held.
    EXPECT_EQ(root->tableViewCellForRow(1)->value(), PlistValue(false));
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[group]", "Miscellaneous", "Today"));
}

TEST_F(HushlinePreferencesControllerTest, DeletingThroughTheSheetRemovesTheProfileFromTheStoreAndTheFile)
{
    writeSettings(true);
    writeTwoProfiles();
    auto root = openRootList();
    root->setEditing(true);
    root->tableViewCommitEditingStyle(UITableViewCellEditingStyle::Delete, 3);
    auto sheet = presentedAlert(*root);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->preferredStyle(), UIAlertControllerStyle::ActionSheet);
    EXPECT_FALSE(sheet->title());
    EXPECT_EQ(sheet->message(), "Are you sure you want to delete the profile 'Work'?");
    ASSERT_EQ(sheet->actions().size(), 2u);
    EXPECT_EQ(sheet->actions()[0]->style(), UIAlertActionStyle::Destructive);
    EXPECT_EQ(sheet->actions()[1]->style(), UIAlertActionStyle::Cancel);

    size_t deletedLocally = 0;
    NSNotificationCenter::defaultCenter().addObserver(this, kHLProfileDeletedNotification, nullptr, [&](const auto&) { ++deletedLocally; });
    ASSERT_TRUE(tapAlertAction(*root, "Delete"));
    // The row leaves the screen at once; the store's work waits for the main queue.
    EXPECT_EQ(rowIndex(*root, "Work"), -1);
    EXPECT_EQ(storedProfiles().size(), 2u);
    NSRunLoop::main().runPending();
    ASSERT_EQ(storedProfiles().size(), 1u);
    EXPECT_EQ(storedProfiles()[0]["title"], PlistValue("Night"));
    EXPECT_EQ(deletedLocally, 1u);
    EXPECT_EQ(postsOf(kHLProfileDeletedNotification), 1u);
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[Active Profiles]", "Night", "[Inactive Profiles]", "No Profiles",
                                     "[group]", "Miscellaneous", "Today"));
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(HushlinePreferencesControllerTest, CancellingTheDeleteKeepsTheProfileAndEndsEditing)
{
    writeSettings(true);
    writeTwoProfiles();
    auto root = openRootList();
    root->setEditing(true);
    root->tableViewCommitEditingStyle(UITableViewCellEditingStyle::Delete, 4);
    ASSERT_TRUE(tapAlertAction(*root, "Cancel"));
    NSRunLoop::main().runPending();
    EXPECT_FALSE(root->isEditing());
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_EQ(storedProfiles().size(), 2u);
    EXPECT_NE(rowIndex(*root, "Night"), -1);
}

TEST_F(HushlinePreferencesControllerTest, AStoreRefusingTheDeleteIsShownAsAnError)
{
    writeSettings(true);
    writeTwoProfiles();
    auto root = openRootList();
    // The home-screen side removed the profile meanwhile; this process has not reloaded yet.
    auto& inMemory = HLProfilesManager::sharedManager().profiles();
    std::erase_if(inMemory, [](const auto& profile) { return profile->title() == "Work"; });
    ASSERT_EQ(inMemory.size(), 1u);
    root->tableViewCommitEditingStyle(UITableViewCellEditingStyle::Delete, 3);
    ASSERT_TRUE(tapAlertAction(*root, "Delete"));
    NSRunLoop::main().runPending();
    auto alert = presentedAlert(*root);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), "Unable to delete profile.\nTrying to delete a profile that is not yet available.\nIs Profile saved to disk?");
}

TEST_F(HushlinePreferencesControllerTest, ADarwinNotificationOfTheOtherSideReloadsTheList)
{
    writeSettings(true);
    writeTwoProfiles();
    HLPreferencesRegisterDarwinObservers();
    auto root = openRootList();
    // The home-screen side disables "Night" and announces it.
    writeProfiles({ profileEntry(1765180800, "Work", true, true), profileEntry(1765180900, "Night", false, false) });
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileChangedNotification, nullptr, nullptr, true);
    NSRunLoop::main().runPending();
    EXPECT_THAT(rowNames(*root), ElementsAre("[group]", "Enabled", "[Active Profiles]", "Work", "[Inactive Profiles]", "Night", "[group]",
                                     "Miscellaneous", "Today"));
    writeProfiles({ profileEntry(1765180800, "Work", true, true) });
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLProfileAppliedStateChangedNotification, nullptr, nullptr, true);
    NSRunLoop::main().runPending();
    EXPECT_EQ(rowIndex(*root, "Night"), -1);
}

TEST_F(HushlinePreferencesControllerTest, AddPresentsTheEditorModallyAndSaveStoresTheProfile)
{
    writeSettings(true);
    writeProfiles({});
    auto root = openRootList();
    const auto& right = root->navigationItem().rightBarButtonItems();
    ASSERT_EQ(right.size(), 2u);
    EXPECT_EQ(right[0]->systemItem(), UIBarButtonSystemItem::Add);
    ASSERT_TRUE(right[1]->image());
    EXPECT_EQ(right[1]->image()->name(), "twitter");

    right[0]->tap();
    auto modal = std::dynamic_pointer_cast<UINavigationController>(root->presentedViewController());
    ASSERT_TRUE(modal);
    auto editor = std::dynamic_pointer_cast<HushlineProflePreferencesController>(modal->topViewController());
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->profile()->isNewProfile());
    EXPECT_TRUE(storedProfiles().empty());
    editor->controlChanged(static_cast<size_t>(rowIndex(*editor, "Title")), "Gym");
    EXPECT_TRUE(storedProfiles().empty());
    ASSERT_TRUE(editor->navigationItem().rightBarButtonItem());
    EXPECT_EQ(editor->navigationItem().rightBarButtonItem()->systemItem(), UIBarButtonSystemItem::Save);
    editor->navigationItem().rightBarButtonItem()->tap();
    ASSERT_EQ(storedProfiles().size(), 1u);
    EXPECT_EQ(storedProfiles()[0]["title"], PlistValue("Gym"));
    EXPECT_FALSE(root->presentedViewController());
    NSRunLoop::main().runPending();
    EXPECT_NE(rowIndex(*root, "Gym"), -1);
}

TEST_F(HushlinePreferencesControllerTest, TheChromeIsSetWhileShownAndPutBackWhenLeft)
{
    writeSettings(true);
    auto root = openRootList();
    auto bar = m_navigation->navigationBar();
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 1);
    ASSERT_TRUE(bar.barTintColor && bar.barTintColor->patternImage());
    EXPECT_TRUE(bar.tintColor->isEqual(UIColor::whiteColor()));
    ASSERT_TRUE(root->navigationItem().titleView);
    EXPECT_EQ(root->navigationItem().titleView->image->name(), "Hushline");
    EXPECT_EQ(root->navigationItem().titleView->fadeDuration, 1.0);
    EXPECT_EQ(root->navigationItem().backButtonImage->name(), "Hushline");

    root->viewWillDisappear(false);
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 0);
    EXPECT_FALSE(m_navigation->navigationBar().barTintColor);
}
