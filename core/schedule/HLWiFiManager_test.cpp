#include "core/schedule/HLWiFiManager.h"

#include "core/profile/HLProfile.h"
#include "platform/mobilewifi/WiFiState.h"
#include "platform/testsupport/DeviceFixture.h"

class HLWiFiManagerTest : public DeviceFixture { };

TEST_F(HLWiFiManagerTest, DescribesTheJoinedAndTheRememberedNetworks)
{
    WiFiState::join("Home");
    m_clock->advance(10);
    WiFiState::join("Office");
    HLWiFiManager manager;
    auto current = manager.currentNetWork();
    EXPECT_EQ(*current["SSID"].asString(), "Office");
    EXPECT_TRUE(manager.isLastConnectedToNetwork());
    auto known = manager.knownNetworks();
    ASSERT_EQ(known.size(), 2u);
    EXPECT_EQ(*known[0]["SSID"].asString(), "Home");
    EXPECT_TRUE(known[0]["record"]["lastJoined"].isDate());
    EXPECT_TRUE(known[0]["record"]["lastAutoJoined"].isNone());
    EXPECT_EQ(*manager.netWorkBySSID("Home")["SSID"].asString(), "Home");
    EXPECT_TRUE(manager.netWorkBySSID("Cafe").empty());

    WiFiState::leave();
    EXPECT_TRUE(manager.currentNetWork().empty());
    EXPECT_FALSE(manager.isLastConnectedToNetwork());
}

TEST_F(HLWiFiManagerTest, LastConnectedNetworkIsTheOneJoinedMostRecentlyByEitherDate)
{
    HLWiFiManager manager;
    manager.currentNetWork();
    EXPECT_TRUE(manager.lastConnectedNetwork()->empty());
    EXPECT_EQ(logCount("Seems last time its not connected to a network.."), 1u);

    WiFiState::join("Home");
    m_clock->advance(100);
    WiFiState::join("Office");
    m_clock->advance(100);
    WiFiState::join("Home", true);
    WiFiState::join("Cafe");
    m_clock->advance(-500);
    manager.currentNetWork();
    // Cafe and the automatic join of Home share the latest second: the earlier in order wins.
    EXPECT_EQ(*(*manager.lastConnectedNetwork())["SSID"].asString(), "Home");

    auto none = WiFiState::load();
    none.known.clear();
    none.save();
    WiFiState::join("Hidden");
    auto state = WiFiState::load();
    state.known.clear();
    state.save();
    manager.currentNetWork();
    EXPECT_FALSE(manager.lastConnectedNetwork());
}

TEST_F(HLWiFiManagerTest, NoWiFiHardwareMeansNeverJoined)
{
    WiFiState::join("Home");
    auto state = WiFiState::load();
    state.hasDevice = false;
    state.save();
    HLWiFiManager manager;
    EXPECT_FALSE(manager.client());
    EXPECT_TRUE(manager.currentNetWork().empty());
}

TEST_F(HLWiFiManagerTest, ProfileNetworkListKeepsDuplicatesAndRemovesEveryCopy)
{
    auto profile = HLProfile::init();
    EXPECT_FALSE(profile->isWifiEnabled());
    profile->addToWiFiNetwork("Home");
    profile->addToWiFiNetwork("Home");
    profile->addToWiFiNetwork("Office");
    EXPECT_EQ(profile->wifiNetworks(), (std::vector<std::string> { "Home", "Home", "Office" }));
    EXPECT_TRUE(profile->hasWiFiNetwork(std::string("Home")));
    EXPECT_FALSE(profile->hasWiFiNetwork(std::nullopt));
    profile->removeFromWiFiNetwork("Home");
    EXPECT_EQ(profile->wifiNetworks(), std::vector<std::string> { "Office" });
    profile->removeFromWiFiNetwork("Office");
    EXPECT_FALSE(profile->isWifiEnabled());
    EXPECT_FALSE(profile->hasWiFiNetwork(std::string("Office")));
    EXPECT_EQ(logCount("****** Adding 'Home' to WiFi list"), 2u);
    EXPECT_EQ(logCount("****** After removing 'Office' WiFi from list, (\n)"), 1u);
}
