#include "preferences/testsupport/PickerFixture.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/device/Device.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/tonelibrary/TLToneManager.h"
#include "platform/uikit/UIView.h"
#include "preferences/HushlineAlertToneController.h"
#include "preferences/HushlineTKTonePickerViewController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

class HushlineAlertToneControllerTest : public PickerFixture {
protected:
    void SetUp() override
    {
        PickerFixture::SetUp();
        TLToneManager::installSystemTones(m_root);
    }
    std::shared_ptr<HushlineAlertToneController> openTones(const PlistDictionary& fields = {})
    {
        return openForNewProfile<HushlineAlertToneController>("HushlineAlertToneController", fields);
    }
    static std::vector<std::string> checked(PSListController& list) { return checkedRows(list, RowName::Title); }
};

TEST_F(HushlineAlertToneControllerTest, AProfileWithoutToneOpensOnCalendarAlertWithNoToneAtTheTop)
{
    auto screen = openTones();
    ASSERT_TRUE(screen);
    auto picker = screen->createdTonePickerViewController();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->alertType(), 10);
    EXPECT_THAT(picker->selectedToneIdentifier(), Optional(std::string("texttone:Calendar Alert")));
    EXPECT_THAT(picker->defaultToneIdentifier(), Optional(std::string("texttone:Calendar Alert")));
    EXPECT_FALSE(picker->showsVibrations());
    EXPECT_TRUE(picker->showsStoreButtonInNavigationBar());
    EXPECT_FALSE(picker->showsToneStore());
    EXPECT_EQ(picker->delegate().get(), static_cast<TKTonePickerViewControllerDelegate*>(screen.get()));

    auto names = rowNames(*screen);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[1], "None");
    EXPECT_EQ(names[2], "[Ringtones]");
    EXPECT_NE(std::find(names.begin(), names.end(), "[Alert Tones]"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Opening"), names.end());
    EXPECT_THAT(checked(*screen), ElementsAre("Calendar Alert"));
    EXPECT_EQ(screen->navigationItem().titleView->labelText, "HushlineAlertToneController");
}

TEST_F(HushlineAlertToneControllerTest, ThePickersViewStartsBelowTheBars)
{
    auto view = openTones()->createdTonePickerViewController()->view();
    EXPECT_EQ(view->frame().x, 0);
    EXPECT_EQ(view->frame().y, 64);
    EXPECT_EQ(view->frame().width, 375);
    EXPECT_EQ(view->frame().height, 667 - 64);
}

TEST_F(HushlineAlertToneControllerTest, ChoosingAToneStoresItAndPlaysIt)
{
    auto screen = openTones({ { "alertToneIdentifier", "texttone:Note" } });
    EXPECT_THAT(checked(*screen), ElementsAre("Note"));
    tapRow(*screen, "Chord");
    EXPECT_EQ(storedEntry()["alertToneIdentifier"], PlistValue("texttone:Chord"));
    EXPECT_THAT(checked(*screen), ElementsAre("Chord"));
    auto tones = Device::current().tones();
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_EQ(tones[0].identifier, "texttone:Chord");
    EXPECT_EQ(tones[0].type, 10);
    // The store's record is the one the screen edits after the save.
    EXPECT_EQ(screen->profile(), HLProfilesManager::sharedManager().profileByIdentifier(kProfileId, false));
}

TEST_F(HushlineAlertToneControllerTest, ChoosingNoToneStoresThePickersDefaultTone)
{
    auto screen = openTones({ { "alertToneIdentifier", "ringtone:Opening" } });
    tapRow(*screen, "None");
    EXPECT_EQ(storedEntry()["alertToneIdentifier"], PlistValue("ringtone:Opening"));
    EXPECT_THAT(Device::current().tones(), IsEmpty());
    // The checkmark shows what the profile holds, not the entry tapped.
    EXPECT_EQ(checked(*screen), std::vector<std::string> { "Opening" });
    tapRow(*screen, "Aurora");
    EXPECT_EQ(checked(*screen), std::vector<std::string> { "Aurora" });
}

TEST_F(HushlineAlertToneControllerTest, ANewProfileTellsTheEditorInsteadOfStoring)
{
    auto profile = storeProfile();
    profile->setNewProfile(true);
    int updates = 0;
    NSNotificationCenter::defaultCenter().addObserver(this, "com.velloq.ProfileDataUpdateNotification", nullptr, [&](const auto&) { ++updates; });
    auto screen = open<HushlineAlertToneController>("HushlineAlertToneController", profile);
    tapRow(*screen, "Aurora");
    NSNotificationCenter::defaultCenter().removeObserver(this);
    EXPECT_EQ(updates, 1);
    EXPECT_THAT(profile->alertToneIdentifier(), Optional(std::string("texttone:Aurora")));
    EXPECT_TRUE(storedEntry()["alertToneIdentifier"].isNone());
}

TEST_F(HushlineAlertToneControllerTest, ThePhoneTonesAreTheShippedOnes)
{
    const auto& library = TLToneManager::sharedToneManager();
    EXPECT_THAT(library.nameForToneIdentifier("texttone:Calendar Alert"), Optional(std::string("Calendar Alert")));
    EXPECT_THAT(library.nameForToneIdentifier("ringtone:Opening"), Optional(std::string("Opening")));
    EXPECT_EQ(library.nameForToneIdentifier("texttone:Nothing"), std::nullopt);
    EXPECT_GE(library.textTones().size(), 30u);
}

struct ToneSuperclassCase {
    const char* name;
    const char* version;
    const char* missing;
    std::optional<std::string> superclass;
};

class HushlineUIToneSuperclassTest : public HushlineAlertToneControllerTest, public ::testing::WithParamInterface<ToneSuperclassCase> { };

// Every case runs in a process of its own, so the class is chosen afresh for its version.
TEST_P(HushlineUIToneSuperclassTest, TheToneScreenBuildsOnTheSystemsToneSettingsScreen)
{
    writeSystemVersion(GetParam().version);
    if (GetParam().missing)
        ObjCRuntime::unregisterClass(GetParam().missing);
    auto screen = openTones();
    ASSERT_TRUE(screen);
    EXPECT_EQ(HushlineUIToneController::toneSuperclassName(), GetParam().superclass);
    const char* noSuper = "############ ALERT NO SUPER TONE CONTROLLER CLASS #################";
    if (GetParam().superclass) {
        EXPECT_EQ(logCount(noSuper), 0u);
        EXPECT_THAT(checked(*screen), ElementsAre("Calendar Alert"));
    } else {
        // No tone list to show, and the screen still opens.
        EXPECT_EQ(logCount(noSuper), 1u);
        EXPECT_THAT(screen->specifiers(), IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, HushlineUIToneSuperclassTest,
    ::testing::Values(ToneSuperclassCase { "Before9", "8.4", nullptr, "ToneController" },
        ToneSuperclassCase { "From9", "10.3", nullptr, "PSUIToneController" }, ToneSuperclassCase { "From13", "13.3", nullptr, "SHSToneController" },
        ToneSuperclassCase { "NoneOn13", "13.3", "SHSToneController", std::nullopt },
        ToneSuperclassCase { "NoneOn12", "12.4", "PSUIToneController", std::nullopt }),
    [](const auto& info) { return std::string(info.param.name); });
