#include "preferences/testsupport/PreferencesFixture.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/preferences/PSControlTableCell.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/testsupport/FailingWrites.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HLEditorNotifications.h"
#include "preferences/HushlinePreferencesController.h"
#include "preferences/HushlineProflePreferencesController.h"

#include <vector>

namespace {

using Names = std::vector<std::string>;

const Names kTop { "[group]", "Title", "[group]", "Enable" };
const Names kEnabledSection { "[Schedule]", "All Day", "Active Hours", "[Ringer Volume & Vibrate]", "Playback Volume", "Ringer Volume",
    "Vibrate", "[Alerts]", "Ring Alert", "Alert Tone", "Vibrate Alert", "Wake Up Screen", "[group]", "Do not Disturb", "[group]",
    "Show on StatusBar", "[WiFi Networks]", "WiFi Networks", "[Calendars]", "Calendar" };

Names concat(Names a, const Names& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The enabled section as built without the status-bar library: its group and switch are gone.
Names withoutStatusBar(Names names)
{
    auto it = std::find(names.begin(), names.end(), "Show on StatusBar");
    names.erase(it - 1, it + 1);
    return names;
}

Names without(Names names, const Names& gone)
{
    for (const auto& name : gone)
        if (auto it = std::find(names.begin(), names.end(), name); it != names.end())
            names.erase(it);
    return names;
}

}

class HushlineProflePreferencesControllerTest : public PreferencesFixture {
protected:
    void SetUp() override
    {
        PreferencesFixture::SetUp();
        writeSettings(true);
        auto work = profileEntry(1765180800, "Work", true, false);
        work["playAlert"] = true;
        work["alertToneIdentifier"] = "texttone:Calendar Alert";
        work["ringerVolume"] = 0.25;
        writeProfiles({ work, profileEntry(1765180900, "Night", true, true) });
    }
    std::shared_ptr<HushlineProflePreferencesController> open(const std::string& title)
    {
        if (!m_rootList)
            m_rootList = openRootList();
        m_rootList->tableViewDidSelectRow(static_cast<size_t>(rowIndex(*m_rootList, title)));
        return std::dynamic_pointer_cast<HushlineProflePreferencesController>(m_navigation->topViewController());
    }
    std::shared_ptr<HushlineProflePreferencesController> openNew()
    {
        m_rootList = openRootList();
        m_rootList->navigationItem().rightBarButtonItems()[0]->tap();
        m_modal = std::dynamic_pointer_cast<UINavigationController>(m_rootList->presentedViewController());
        return m_modal ? std::dynamic_pointer_cast<HushlineProflePreferencesController>(m_modal->topViewController()) : nullptr;
    }
    static void change(HushlineProflePreferencesController& editor, const std::string& identifier, const PlistValue& value)
    {
        editor.controlChanged(static_cast<size_t>(editor.indexOfSpecifier(editor.specifierForID(identifier))), value);
    }
    static PlistDictionary stored(const PlistArray& profiles, int64_t identifier)
    {
        for (const auto& entry : profiles)
            if (entry["identifier"].longLongValue() == identifier)
                return *entry.asDictionary();
        return {};
    }
    std::shared_ptr<HushlinePreferencesController> m_rootList;
    std::shared_ptr<UINavigationController> m_modal;
};

TEST_F(HushlineProflePreferencesControllerTest, TheRowsOfAnEnabledProfileInOrderWithTheirKindsDefaultsAndFooters)
{
    installLibStatusbar();
    auto editor = open("Work");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->title(), "Work");
    EXPECT_EQ(rowNames(*editor), concat(kTop, kEnabledSection));

    struct Expected {
        const char* identifier;
        PSCellType kind;
        const char* cellClass;
        PlistValue defaultValue;
    };
    for (const auto& row : std::vector<Expected> { { "title", PSCellType::EditText, "HLEditableTableCell", {} },
             { "enabled", PSCellType::Switch, "HLSwitchCell", true }, { "allDay", PSCellType::Switch, "HLSwitchCell", true },
             { "playBackVolume", PSCellType::Slider, "HLSliderCell", {} }, { "ringerVolume", PSCellType::Slider, "HLSliderCell", {} },
             { "vibrate", PSCellType::Switch, "HLSwitchCell", true }, { "playAlert", PSCellType::Switch, "HLSwitchCell", true },
             { "alertToneIdentifier", PSCellType::Link, "", {} }, { "vibrateAlert", PSCellType::Switch, "HLSwitchCell", true },
             { "wakeUpScreen", PSCellType::Switch, "HLSwitchCell", true }, { "dnDEnabled", PSCellType::Switch, "HLSwitchCell", false },
             { "showOnStatusBar", PSCellType::Switch, "HLSwitchCell", false }, { "wifiNetworks", PSCellType::Link, "", {} },
             { "calendarIdentifiers", PSCellType::Link, "", {} } }) {
        SCOPED_TRACE(row.identifier);
        auto specifier = editor->specifierForID(row.identifier);
        ASSERT_TRUE(specifier);
        EXPECT_EQ(specifier->cellType(), row.kind);
        EXPECT_EQ(specifier->propertyForKey("cellClass"), *row.cellClass ? PlistValue(row.cellClass) : PlistValue());
        EXPECT_EQ(specifier->propertyForKey("default"), row.defaultValue);
    }
    auto title = editor->specifierForID("title");
    EXPECT_EQ(title->propertyForKey("placeholder"), PlistValue("Required"));
    EXPECT_EQ(title->propertyForKey("autoCaps"), PlistValue("words"));
    EXPECT_EQ(title->propertyForKey("noAutoCorrect"), PlistValue(false));

    auto at = [&](const std::string& name) { return editor->specifierAtIndex(static_cast<size_t>(rowIndex(*editor, name))); };
    EXPECT_EQ(at("[Schedule]")->propertyForKey("footerText"), PlistValue("This profile will be active based on these settings."));
    EXPECT_TRUE(at("[Ringer Volume & Vibrate]")->propertyForKey("footerText").isNone());
    EXPECT_EQ(at("[Calendars]")->propertyForKey("footerText"),
        PlistValue("Select Calendars which you want to apply this profile.\n\nNote: If you do not select any calendar, by default this profile "
                   "applies to all events on your Calendar."));
    EXPECT_EQ(at("Active Hours")->detailControllerClass(), "HLDateRangeController");
    EXPECT_EQ(at("Active Hours")->propertyForKey("cellClass"), PlistValue("HLDateRangeCell"));
    EXPECT_EQ(at("Active Hours")->userInfo().asObject<HLProfile>(), editor->profile());
    EXPECT_EQ(at("Alert Tone")->detailControllerClass(), "HushlineAlertToneController");
    EXPECT_EQ(at("WiFi Networks")->detailControllerClass(), "HushlineWifiController");
    EXPECT_EQ(at("Calendar")->detailControllerClass(), "HushlineCalendarsController");
    EXPECT_EQ(at("Calendar")->userInfo()["profile"].asObject<HLProfile>(), editor->profile());
    EXPECT_TRUE(at("Calendar")->userInfo()["calendars"].isDictionary());

    // What the cells show: the tone's name in grey, the stored volume with the speaker images,
    // the slider's title above it.
    auto tone = editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Alert Tone")));
    EXPECT_EQ(tone->detailTextLabel().text, "Calendar Alert");
    auto ringer = std::dynamic_pointer_cast<PSSliderTableCell>(editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Ringer Volume"))));
    ASSERT_TRUE(ringer);
    EXPECT_EQ(ringer->value(), PlistValue(0.25));
    EXPECT_EQ(ringer->defaultCellHeight(), 70);
    ASSERT_TRUE(ringer->minimumValueImage());
    EXPECT_EQ(ringer->minimumValueImage()->phonePath(), "/System/Library/PrivateFrameworks/PreferencesUI.framework/SpeakerMute@2x.png");
    EXPECT_EQ(ringer->maximumValueImage()->phonePath(), "/System/Library/PrivateFrameworks/PreferencesUI.framework/SpeakerMax@2x.png");
    EXPECT_FALSE(ringer->textLabel().hidden);
}

TEST_F(HushlineProflePreferencesControllerTest, EnableOffLeavesTheTitleAndTheSwitchOnBringsTheWholeSectionBack)
{
    auto editor = open("Work");
    auto full = rowNames(*editor);
    // Without the status-bar library its group is not built.
    EXPECT_EQ(full, concat(kTop, withoutStatusBar(kEnabledSection)));

    change(*editor, "enabled", false);
    EXPECT_EQ(rowNames(*editor), kTop);
    EXPECT_EQ(stored(storedProfiles(), 1765180800)["enabled"], PlistValue(false));
    EXPECT_EQ(editor->animatedChanges(), full.size() - kTop.size());

    change(*editor, "enabled", true);
    EXPECT_EQ(rowNames(*editor), full);
    EXPECT_EQ(stored(storedProfiles(), 1765180800)["enabled"], PlistValue(true));
}

TEST_F(HushlineProflePreferencesControllerTest, AllDayRemovesAndRestoresOnlyActiveHoursAndRingAlertOnlyTheTone)
{
    auto editor = open("Work");
    auto full = rowNames(*editor);
    ASSERT_EQ(rowIndex(*editor, "Active Hours"), static_cast<long>(HushlineProflePreferencesController::kActiveTimeIndex));

    change(*editor, "allDay", true);
    EXPECT_EQ(rowNames(*editor), without(full, { "Active Hours" }));
    change(*editor, "allDay", false);
    EXPECT_EQ(rowNames(*editor), full);
    EXPECT_EQ(stored(storedProfiles(), 1765180800)["allDay"], PlistValue(false));

    change(*editor, "playAlert", false);
    EXPECT_EQ(rowNames(*editor), without(full, { "Alert Tone" }));
    change(*editor, "playAlert", true);
    EXPECT_EQ(rowNames(*editor), full);
    EXPECT_EQ(rowIndex(*editor, "Alert Tone"), rowIndex(*editor, "Ring Alert") + 1);

    // A profile without a tone says so.
    editor->profile()->setAlertToneIdentifier(std::nullopt);
    EXPECT_EQ(editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Alert Tone")))->detailTextLabel().text, "None");
}

TEST_F(HushlineProflePreferencesControllerTest, AnExistingProfileIsStoredAfterEveryChangeAndTheListFollows)
{
    auto editor = open("Work");
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->navigationItem().leftBarButtonItem());
    size_t changes = 0;
    NSNotificationCenter::defaultCenter().addObserver(this, kHLProfileChangedNotification, nullptr, [&](const auto&) { ++changes; });

    change(*editor, "ringerVolume", 0.75);
    change(*editor, "vibrate", false);
    change(*editor, "title", "Late");
    auto entry = stored(storedProfiles(), 1765180800);
    EXPECT_EQ(entry["ringerVolume"], PlistValue(0.75));
    EXPECT_EQ(entry["vibrate"], PlistValue(false));
    EXPECT_EQ(entry["title"], PlistValue("Late"));
    EXPECT_EQ(changes, 3u);
    EXPECT_EQ(editor->title(), "Late");
    NSRunLoop::main().runPending();
    EXPECT_NE(rowIndex(*m_rootList, "Late"), -1);
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(HushlineProflePreferencesControllerTest, AChangeMadeElsewhereReachesTheOpenEditor)
{
    auto editor = open("Work");
    // The home screen's side changed the ringer volume and announced it.
    auto profiles = storedProfiles();
    for (auto& entry : profiles)
        if (entry["identifier"].longLongValue() == 1765180800)
            (*entry.asDictionary())["ringerVolume"] = 0.5;
    writeProfiles(profiles);
    HLProfilesManager::sharedManager().reloadProfiles();
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
    EXPECT_EQ(editor->profile()->ringerVolume(), 0.5);
    auto ringer = editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Ringer Volume")));
    EXPECT_EQ(ringer->value(), PlistValue(0.5));
}

TEST_F(HushlineProflePreferencesControllerTest, ANewProfileIsStoredOnlyBySaveAndCancelStoresNothing)
{
    auto editor = openNew();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->navigationItem().leftBarButtonItem());
    EXPECT_EQ(editor->navigationItem().leftBarButtonItem()->systemItem(), UIBarButtonSystemItem::Cancel);
    EXPECT_EQ(editor->navigationItem().rightBarButtonItem()->systemItem(), UIBarButtonSystemItem::Save);
    change(*editor, "title", "Gym");
    change(*editor, "ringerVolume", 0.5);
    change(*editor, "allDay", false);
    EXPECT_NE(rowIndex(*editor, "Active Hours"), -1);
    // A screen that changed the new profile asks the editor to rebuild: still nothing stored.
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileDataUpdateNotification);
    EXPECT_NE(rowIndex(*editor, "Active Hours"), -1);
    EXPECT_EQ(storedProfiles().size(), 2u);

    editor->navigationItem().rightBarButtonItem()->tap();
    EXPECT_FALSE(m_rootList->presentedViewController());
    auto profiles = storedProfiles();
    ASSERT_EQ(profiles.size(), 3u);
    EXPECT_EQ(profiles[2]["title"], PlistValue("Gym"));
    EXPECT_EQ(profiles[2]["ringerVolume"], PlistValue(0.5));
    EXPECT_EQ(profiles[2]["allDay"], PlistValue(false));
    NSRunLoop::main().runPending();
    EXPECT_NE(rowIndex(*m_rootList, "Gym"), -1);

    auto cancelled = openNew();
    change(*cancelled, "title", "Dropped");
    cancelled->navigationItem().leftBarButtonItem()->tap();
    EXPECT_FALSE(m_rootList->presentedViewController());
    EXPECT_EQ(storedProfiles().size(), 3u);
}

TEST_F(HushlineProflePreferencesControllerTest, ANewProfileWithATakenOrEmptyTitleIsRefusedAndStaysOpen)
{
    auto editor = openNew();
    for (const char* title : { "Work", "", "   " }) {
        SCOPED_TRACE(title);
        change(*editor, "title", title);
        editor->navigationItem().rightBarButtonItem()->tap();
        auto alert = presentedAlert(*m_rootList);
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "Error");
        // What failed, why, and what to do.
        EXPECT_EQ(alert->message(), std::string(title) == "Work"
                ? "Unable to add profile.\nProfile name already exist.\nChange profile name and try."
                : "Unable to add profile.\nProfile name is required.\nEnter profile name and try.");
        EXPECT_TRUE(alert->tapActionAtIndex(0));
        EXPECT_EQ(m_rootList->presentedViewController(), m_modal);
        EXPECT_TRUE(editor->profile()->isNewProfile());
        EXPECT_EQ(storedProfiles().size(), 2u);
    }
    change(*editor, "title", "Work 2");
    editor->navigationItem().rightBarButtonItem()->tap();
    EXPECT_EQ(storedProfiles().size(), 3u);
}

TEST_F(HushlineProflePreferencesControllerTest, ANewProfileMadeInTheSecondOfAStoredOneStaysNewUntilSaveOrCancel)
{
    // The stored "Work" was made in this very second.
    auto profiles = storedProfiles();
    (*profiles[0].asDictionary())["identifier"] = HLProfile::init()->identifier();
    writeProfiles(profiles);
    HLProfilesManager::sharedManager().reloadProfiles();
    auto editor = openNew();
    ASSERT_TRUE(editor);
    EXPECT_NE(editor->profile()->identifier(), profiles[0]["identifier"].longLongValue());

    // A notice from the home screen while the modal is open, then the user's changes.
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
    NSRunLoop::main().runPending();
    EXPECT_TRUE(editor->profile()->isNewProfile());
    change(*editor, "enabled", false);
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileDataUpdateNotification);
    EXPECT_FALSE(editor->profile()->isEnabled());
    editor->navigationItem().leftBarButtonItem()->tap();

    auto after = storedProfiles();
    EXPECT_EQ(after, profiles);
    EXPECT_TRUE(after[0]["enabled"].boolValue());
}

TEST_F(HushlineProflePreferencesControllerTest, SettingASwitchToTheValueItHasChangesNoRow)
{
    auto editor = open("Work");
    auto rows = rowNames(*editor);
    for (const char* key : { "enabled", "playAlert" })
        change(*editor, key, true);
    change(*editor, "allDay", false);
    EXPECT_EQ(rowNames(*editor), rows);
    change(*editor, "enabled", false);
    auto off = rowNames(*editor);
    change(*editor, "enabled", false);
    EXPECT_EQ(rowNames(*editor), off);
    change(*editor, "enabled", true);
    EXPECT_EQ(rowNames(*editor), rows);
}

TEST_F(HushlineProflePreferencesControllerTest, ARenameToABlankOrTakenTitleIsRefusedAndTheStoredTitleStays)
{
    auto editor = open("Work");
    for (const char* title : { "", "   ", "Night" }) {
        SCOPED_TRACE(title);
        change(*editor, "title", title);
        auto alert = presentedAlert(*editor);
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->message(), std::string(title) == "Night"
                ? "Unable to update profile.\nProfile name already exist.\nChange profile name and try."
                : "Unable to update profile.\nProfile name is required.\nEnter profile name and try.");
        EXPECT_TRUE(alert->tapActionAtIndex(0));
        EXPECT_EQ(stored(storedProfiles(), 1765180800)["title"], PlistValue("Work"));
        EXPECT_EQ(editor->title(), "Work");
        EXPECT_EQ(editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Title")))->value(), PlistValue("Work"));
    }
    // Its own title again, or another letter case, is no clash.
    change(*editor, "title", "work");
    EXPECT_EQ(stored(storedProfiles(), 1765180800)["title"], PlistValue("work"));
}

TEST_F(HushlineProflePreferencesControllerTest, AFailedWriteLeavesTheFileTheRecordAndTheScreenAtTheOldValue)
{
    auto editor = open("Work");
    auto before = storedProfiles();
    auto rows = rowNames(*editor);
    for (auto [key, value] : std::vector<std::pair<std::string, PlistValue>> { { "ringerVolume", 0.9 }, { "enabled", false } }) {
        SCOPED_TRACE(key);
        {
            FailingWrites full;
            change(*editor, key, value);
        }
        auto alert = presentedAlert(*editor);
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->message(), "Unable to save profiles to disk.");
        EXPECT_TRUE(alert->tapActionAtIndex(0));
        EXPECT_EQ(storedProfiles(), before);
        EXPECT_EQ(rowNames(*editor), rows);
    }
    EXPECT_EQ(editor->profile()->ringerVolume(), 0.25);
    EXPECT_TRUE(editor->profile()->isEnabled());
    EXPECT_EQ(editor->tableViewCellForRow(static_cast<size_t>(rowIndex(*editor, "Ringer Volume")))->value(), PlistValue(0.25));
}
