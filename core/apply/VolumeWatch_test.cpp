#include "core/testsupport/ApplyFixture.h"
#include "core/apply/NSObject+Hushline.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIAlertView.h"

namespace {

class VolumeWatchTest : public ApplyFixture {
protected:
    // A profile applied and settled: its volumes set, the alert tone over.
    std::shared_ptr<HLProfile> appliedProfile(const std::string& title)
    {
        auto profile = storedProfile(title, [](HLProfile& p) { p.setPlayAlert(false); });
        profile->apply();
        loop().advanceBy(10);
        return profile;
    }

    // The user presses a volume button: the system moves the ringer, the hook marks the press.
    void pressToRinger(float volume)
    {
        auto audio = AVSystemController::sharedAVSystemController();
        audio->setVolumeTo(volume, "Ringtone");
        hl_setChangedViaHWButtons(*audio, true);
        loop().advanceBy(0.5);
    }

    std::shared_ptr<UIAlertView> question() const { return UIAlertView::visibleAlertView(); }
    float savedRinger() const { return defaults().floatForKey("com.velloq.hushline-ringtone"); }
};

class VolumeWatchOnTenTest : public VolumeWatchTest {
protected:
    const char* systemVersion() const override { return "10.3"; }
};

}

TEST_F(VolumeWatchTest, OnEveryVersionTheProfilesOwnChangeIsNotAskedAboutAndTheVolumeDisplaysIs)
{
    for (const char* version : { "7.1.2", "9.3", "10.3", "11.4", "13.3" }) {
        SCOPED_TRACE(version);
        writeSystemVersion(version);
        auto profile = storedProfile(std::string("Meeting ") + version, [](HLProfile& p) { p.setPlayAlert(true); });
        profile->apply();
        loop().advanceBy(10);
        EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.125f);
        EXPECT_FALSE(question()) << "the profile set the ringer, not the user";

        // The user drags the volume display's ringer slider: no button, still the user's change.
        AVSystemController::sharedAVSystemController()->setVolumeTo(0.4375f, "Ringtone");
        loop().advanceBy(1);
        ASSERT_TRUE(question());
        question()->clickButtonAtIndex(0);
        EXPECT_FLOAT_EQ(savedRinger(), 0.4375f);

        profile->revert();
        loop().advanceBy(10);
        EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.4375f);
        EXPECT_FALSE(question()) << "nor is the revert's own change asked about";
        phone().setRingerVolume(0.75f, "test");
        loop().advanceBy(1);
    }
}

TEST_F(VolumeWatchTest, YesKeepsTheVolumeAndLaterPressesStoreWithoutAsking)
{
    auto profile = appliedProfile("Meeting");
    pressToRinger(0.5f);
    auto alert = question();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), 431213);
    EXPECT_EQ(alert->title(), "Information");
    EXPECT_EQ(alert->message(), "You changed ringtone volume of your device while 'Meeting' is active. Do you want to preserve this volume after the profile inactive?");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Yes, please", "No, thanks" }));

    ASSERT_TRUE(alert->clickButtonAtIndex(0));
    EXPECT_FLOAT_EQ(savedRinger(), 0.5f);
    EXPECT_FALSE(HLProfilesManager::sharedManager().volumePreserveAlertView());

    pressToRinger(0.625f);
    EXPECT_FALSE(question());
    EXPECT_FLOAT_EQ(savedRinger(), 0.625f);
    EXPECT_EQ(logCount("User updated volume hence storing new volume : 0.625000 in user defaults."), 1u);

    profile->revert(true);
    loop().advanceBy(10);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.625f);
}

TEST_F(VolumeWatchTest, NoThanksStoresNothingAndTheRevertRestoresTheVolumeFoundBefore)
{
    auto profile = appliedProfile("Meeting");
    pressToRinger(0.5f);
    ASSERT_TRUE(question());
    question()->clickButtonAtIndex(1);
    pressToRinger(0.3125f);
    EXPECT_FALSE(question());
    EXPECT_FLOAT_EQ(savedRinger(), 0.75f);
    profile->revert(true);
    loop().advanceBy(10);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.75f);
}

TEST_F(VolumeWatchTest, OtherCategoriesAndPhonesWithoutAnAppliedProfileNeverAsk)
{
    pressToRinger(0.5f);
    EXPECT_FALSE(question());
    appliedProfile("Meeting");
    auto audio = AVSystemController::sharedAVSystemController();
    hl_setChangedViaHWButtons(*audio, true);
    NSNotificationCenter::defaultCenter().postNotificationName("AVSystemController_SystemVolumeDidChangeNotification", audio,
        { { "AVSystemController_AudioCategoryNotificationParameter", "Audio/Video" }, { "AVSystemController_AudioVolumeNotificationParameter", 0.5f } });
    EXPECT_FALSE(question());
}

TEST_F(VolumeWatchTest, WithTwoAppliedProfilesTheFirstInStoreOrderIsNamed)
{
    auto first = appliedProfile("First");
    auto second = appliedProfile("Second");
    pressToRinger(0.5f);
    ASSERT_TRUE(question());
    EXPECT_NE(question()->message().find("'First'"), std::string::npos);
    question()->clickButtonAtIndex(0);
    EXPECT_TRUE(first->shouldPreserveVolumeChange());
    EXPECT_FALSE(second->shouldPreserveVolumeChange());
}

TEST_F(VolumeWatchOnTenTest, BeforeElevenAButtonPressIsTheUsersAndYesKeepsItsVolume)
{
    auto profile = appliedProfile("Meeting");
    EXPECT_FALSE(question());
    pressToRinger(0.5f);
    ASSERT_TRUE(question());
    question()->clickButtonAtIndex(0);
    EXPECT_FLOAT_EQ(savedRinger(), 0.5f);
    profile->revert(true);
    loop().advanceBy(10);
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.5f);
}

TEST_F(VolumeWatchTest, AnAnswerFromAnotherAlertIsIgnored)
{
    appliedProfile("Meeting");
    auto other = UIAlertView::initWithTitle("Other", "", std::static_pointer_cast<HLProfilesManager>(HLProfilesManager::sharedManagerObject()),
        std::nullopt, { "OK" });
    other->show();
    other->clickButtonAtIndex(0);
    EXPECT_FLOAT_EQ(savedRinger(), 0.75f);
}
