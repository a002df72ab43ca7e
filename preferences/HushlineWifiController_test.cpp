#include "preferences/testsupport/PickerFixture.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/mobilewifi/WiFiState.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "preferences/HushlineWifiController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class HushlineWifiControllerTest : public PickerFixture {
protected:
    std::vector<std::string> storedNetworks() const { return storedStrings("wifiNetworks"); }
};

TEST_F(HushlineWifiControllerTest, ASwitchPerRememberedNetworkOnForTheChosenOnes)
{
    for (const char* ssid : { "Home", "Office", "Cafe" })
        WiFiState::join(ssid);
    WiFiState::leave();
    auto picker = open<HushlineWifiController>("HushlineWifiController", storeProfile({ { "wifiNetworks", PlistArray { "Office" } } }));
    ASSERT_TRUE(picker);
    EXPECT_THAT(rowNames(*picker), ElementsAre("Home", "Office", "Cafe"));
    auto office = picker->specifierAtIndex(1);
    EXPECT_EQ(office->identifier(), "Office");
    EXPECT_EQ(office->cellType(), PSCellType::Switch);
    EXPECT_EQ(office->propertyForKey("cellClass"), PlistValue("HLSwitchCell"));
    EXPECT_EQ(office->userInfo()["SSID"], PlistValue("Office"));
    EXPECT_EQ(picker->tableViewCellForRow(0)->value(), PlistValue(false));
    EXPECT_EQ(picker->tableViewCellForRow(1)->value(), PlistValue(true));
}

TEST_F(HushlineWifiControllerTest, TappingASwitchTwiceLeavesTheListAsBeforeAndSavesEachTime)
{
    WiFiState::join("Home");
    WiFiState::join("Office");
    auto picker = open<HushlineWifiController>("HushlineWifiController", storeProfile({ { "wifiNetworks", PlistArray { "Office" } } }));
    // The value sent does not matter: a tap toggles.
    picker->controlChanged(0, PlistValue(false));
    EXPECT_THAT(storedNetworks(), ElementsAre("Office", "Home"));
    EXPECT_EQ(picker->tableViewCellForRow(0)->value(), PlistValue(true));
    picker->controlChanged(0, PlistValue(true));
    EXPECT_THAT(storedNetworks(), ElementsAre("Office"));
    EXPECT_EQ(picker->tableViewCellForRow(0)->value(), PlistValue(false));
    // After a save the screen edits the store's record.
    EXPECT_EQ(picker->profile(), HLProfilesManager::sharedManager().profileByIdentifier(kProfileId, false));
}

TEST_F(HushlineWifiControllerTest, WithoutRememberedNetworksThePickerIsEmpty)
{
    auto picker = open<HushlineWifiController>("HushlineWifiController", storeProfile());
    ASSERT_TRUE(picker);
    EXPECT_THAT(picker->specifiers(), IsEmpty());
}

TEST_F(HushlineWifiControllerTest, ANewProfileChangesOnlyInMemory)
{
    WiFiState::join("Home");
    auto profile = storeProfile();
    profile->setNewProfile(true);
    auto picker = open<HushlineWifiController>("HushlineWifiController", profile);
    picker->controlChanged(0, PlistValue(true));
    EXPECT_TRUE(profile->hasWiFiNetwork(std::string("Home")));
    EXPECT_THAT(storedNetworks(), IsEmpty());
}
