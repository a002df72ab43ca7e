#include "core/testsupport/ApplyFixture.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/libstatusbar/LSStatusBarItem.h"
#include "platform/springboard/CCUIModuleInstanceManager.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Before version 11 the setting's own key ("com.velloq.hushline-<identifier>"); on every version
// the state the phone had before the first profile switched Do Not Disturb on.
constexpr const char* kSavedDoNotDisturb = "com.velloq.hushline-doNotDisturb";
constexpr const char* kSavedState = "com.velloq.hushline-do-not-disturb";

class DoNotDisturbTest : public ApplyFixture {
protected:
    std::shared_ptr<HLProfile> quietProfile()
    {
        return storedProfile("Focus", [](HLProfile& p) { p.setDnDEnabled(true); });
    }

    // How each change of Do Not Disturb came about.
    std::vector<std::string> doNotDisturbChanges() const
    {
        std::vector<std::string> via;
        for (const auto& change : phone().changesOf(DeviceChange::DoNotDisturb))
            via.push_back(std::string(change.value.boolValue() ? "on by " : "off by ") + change.detail);
        return via;
    }

    std::vector<std::string> taps() const
    {
        std::vector<std::string> senders;
        for (const auto& change : phone().changesOf(DeviceChange::ControlCenterTap))
            senders.push_back(change.detail);
        return senders;
    }
};

}

TEST_F(DoNotDisturbTest, FromVersion12TheModuleIsSwitchedByATapOnItsButton)
{
    writeSystemVersion("12.4");
    auto profile = quietProfile();
    profile->apply();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    profile->revert();
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
    EXPECT_THAT(taps(), ElementsAre("CCUIButtonModuleView", "CCUIButtonModuleView"));
}

TEST_F(DoNotDisturbTest, WithoutAButtonViewTheTapIsSentFromNone)
{
    writeSystemVersion("13.3");
    auto profile = quietProfile();
    profile->apply();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    EXPECT_THAT(taps(), ElementsAre("none"));
}

TEST_F(DoNotDisturbTest, OnVersion11TheUsersOwnDoNotDisturbStaysOnAfterTheRevert)
{
    writeSystemVersion("11.4");
    phone().setDoNotDisturbEnabled(true, "user");
    phone().clearChanges();
    auto profile = quietProfile();
    profile->apply();
    EXPECT_EQ(logCount("**** Currently the state of DND module is 1 & and you are asking me to set its state as 1. Since both are same, I'm not doing anything!!"), 1u);
    EXPECT_TRUE(defaults().boolForKey(kSavedState));

    profile->revert();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    EXPECT_THAT(doNotDisturbChanges(), IsEmpty());
    EXPECT_FALSE(hasDefault(kSavedState));

    // Off before the profile: switched on by it and off again by its revert, once.
    phone().setDoNotDisturbEnabled(false, "user");
    profile->apply();
    profile->revert();
    profile->revert();
    EXPECT_THAT(doNotDisturbChanges(), ElementsAre("off by user", "on by CCUIDoNotDisturbModule setSelected:", "off by CCUIDoNotDisturbModule setSelected:"));
}

TEST_F(DoNotDisturbTest, MissingModuleManagerIsAnError)
{
    writeSystemVersion("12.0");
    ObjCRuntime::unregisterClass("CCUIModuleInstanceManager");
    quietProfile()->apply();
    EXPECT_EQ(logCount("com.velloq.Hushline: Error => HLProfilesManager::enableORDisableDnDForIOS11, [Line "), 1u);
    EXPECT_EQ(logCount("******* Unable to find 'CCUIModuleInstanceManager'.."), 1u);
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
    ObjCRuntime::registerClass<CCUIModuleInstanceManager>("CCUIModuleInstanceManager", [] { return Device::current().runsMajorVersion(11, 13); });
}

TEST_F(DoNotDisturbTest, OnVersion10TheSettingOfTheSystemControlsPageIsToggled)
{
    writeSystemVersion("10.3");
    auto profile = quietProfile();
    profile->apply();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    ASSERT_TRUE(hasDefault(kSavedDoNotDisturb));
    EXPECT_FALSE(defaults().boolForKey(kSavedDoNotDisturb));

    profile->apply();
    profile->revert();
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
    EXPECT_THAT(doNotDisturbChanges(),
        ElementsAre("on by CCUIDoNotDisturbSetting _toggleState", "off by CCUIDoNotDisturbSetting _toggleState"));
}

TEST_F(DoNotDisturbTest, BeforeVersion10TheRevertGivesBackWhatThePhoneHad)
{
    writeSystemVersion("9.3");
    auto profile = quietProfile();
    phone().setDoNotDisturbEnabled(true, "user");
    profile->apply();
    EXPECT_FALSE(hasDefault(kSavedDoNotDisturb)) << "already on: the setting's own key is not written";
    profile->revert();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    EXPECT_EQ(doNotDisturbChanges().back(), "on by user");

    phone().setDoNotDisturbEnabled(false, "user");
    profile->apply();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());
    profile->revert();
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
}

TEST_F(DoNotDisturbTest, WithoutTheToggleMethodsTheStateIsSetDirectly)
{
    writeSystemVersion("7.0.4");
    auto profile = quietProfile();
    profile->apply();
    profile->revert();
    EXPECT_THAT(doNotDisturbChanges(), ElementsAre("on by SBCCDoNotDisturbSetting _setDNDEnabled:updateServer:source:",
                                           "off by SBCCDoNotDisturbSetting _setDNDEnabled:updateServer:source:"));
    EXPECT_FALSE(hasDefault(kSavedDoNotDisturb));
}

TEST_F(DoNotDisturbTest, StatusRefreshActsOnlyForAnAppliedProfile)
{
    writeSystemVersion("13.3");
    auto profile = quietProfile();
    profile->updateDNDStatus();
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
    profile->apply();
    profile->setDnDEnabled(false);
    profile->updateDNDStatus();
    EXPECT_FALSE(phone().isDoNotDisturbEnabled()) << "what the system switched on goes off with the setting";
}

TEST_F(DoNotDisturbTest, AProfileWithoutDoNotDisturbNeverTakesAwayTheUsersOrAnotherProfiles)
{
    writeSystemVersion("13.3");
    auto plain = storedProfile("Plain");
    phone().setDoNotDisturbEnabled(true, "user");
    plain->apply();
    plain->updateDNDStatus();
    plain->refreshSoundSettingsIfRequired();
    plain->revert();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled());

    phone().setDoNotDisturbEnabled(false, "user");
    auto focus = quietProfile();
    focus->apply();
    plain->apply();
    plain->updateDNDStatus();
    EXPECT_TRUE(phone().isDoNotDisturbEnabled()) << "the other applied profile still wants it";
    focus->revert();
    EXPECT_FALSE(phone().isDoNotDisturbEnabled());
}

TEST_F(DoNotDisturbTest, OneIconServesEveryProfile)
{
    installLibStatusbar();
    auto& manager = HLProfilesManager::sharedManager();
    manager.setUpStatusBarItem();
    EXPECT_EQ(logCount("Information => HLProfilesManager::loadLibStatusbar, [Line "), 1u);
    EXPECT_EQ(logCount("******* 2. 'libstatusbar.dylib' loaded succesfully ********"), 1u);
    ASSERT_NE(manager.statusBarItem(), nullptr);
    auto item = phone().statusBarItem("com.velloq.hushline");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->imageName, "Profile");
    EXPECT_EQ(item->alignment, 2);
    EXPECT_FALSE(item->visible);

    auto first = storedProfile("First", [](HLProfile& p) { p.setShowOnStatusBar(true); });
    auto second = storedProfile("Second", [](HLProfile& p) { p.setShowOnStatusBar(true); });
    first->apply();
    second->apply();
    EXPECT_THAT(phone().visibleStatusBarItems(), ElementsAre("com.velloq.hushline"));
    first->revert();
    EXPECT_THAT(phone().visibleStatusBarItems(), IsEmpty()) << "one icon: any revert hides it";
    second->updateShowStatuBarState();
    EXPECT_THAT(phone().visibleStatusBarItems(), ElementsAre("com.velloq.hushline"));

    manager.loadLibStatusbar();
    EXPECT_EQ(logCount("loaded succesfully"), 1u) << "a loaded library is not opened again";
}

TEST_F(DoNotDisturbTest, WithoutTheLibraryThereIsNoIconAndProfilesStillApply)
{
    if (NSClassFromString("LSStatusBarItem"))
        GTEST_SKIP() << "an earlier test of this process loaded libstatusbar, which is never closed";
    auto& manager = HLProfilesManager::sharedManager();
    manager.setUpStatusBarItem();
    EXPECT_EQ(logCount("Error => HLProfilesManager::loadLibStatusbar, [Line "), 1u);
    EXPECT_EQ(logCount("******* 2. Error while loading 'libstatusbar.dylib'********"), 1u);
    EXPECT_EQ(manager.statusBarItem(), nullptr);

    auto profile = storedProfile("Icon", [](HLProfile& p) { p.setShowOnStatusBar(true); });
    profile->apply();
    loop().advanceBy(3);
    EXPECT_TRUE(profile->isApplied());
    EXPECT_FLOAT_EQ(phone().ringerVolume(), 0.125f);
    EXPECT_THAT(phone().visibleStatusBarItems(), IsEmpty());
}
