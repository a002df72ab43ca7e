#include "platform/mobilewifi/MobileWiFi.h"
#include "platform/mobilewifi/WiFiState.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/testsupport/DeviceFixture.h"

class WiFiStateTest : public DeviceFixture { };

TEST_F(WiFiStateTest, JoiningRemembersTheNetworkDatesItAndAnnouncesTheChange)
{
    auto manager = WiFiManagerClientCreate(nullptr, 0);
    auto devices = WiFiManagerClientCopyDevices(manager);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_FALSE(WiFiDeviceClientCopyCurrentNetwork(devices[0]));

    WiFiState::join("Home");
    m_clock->advance(60);
    WiFiState::join("Office", true);
    auto current = WiFiDeviceClientCopyCurrentNetwork(devices[0]);
    ASSERT_TRUE(current);
    EXPECT_EQ(WiFiNetworkGetSSID(current), "Office");

    auto known = WiFiManagerClientCopyNetworks(manager);
    ASSERT_EQ(known.size(), 2u);
    EXPECT_EQ(WiFiNetworkGetSSID(known[0]), "Home");
    EXPECT_EQ(*WiFiNetworkCopyRecord(known[0])["lastJoined"].asDate(), NSDate(localTime(startTime())));
    EXPECT_FALSE(WiFiNetworkCopyRecord(known[1]).count("lastJoined"));
    EXPECT_EQ(*WiFiNetworkCopyRecord(known[1])["lastAutoJoined"].asDate(), NSDate(localTime(startTime()) + 60));

    WiFiState::leave();
    EXPECT_FALSE(WiFiDeviceClientCopyCurrentNetwork(devices[0]));
    EXPECT_EQ(WiFiManagerClientCopyNetworks(manager).size(), 2u);
    EXPECT_EQ(DarwinNotifyCenter::current().postedNames(), std::vector<std::string>(3, "com.apple.system.config.network_change"));
}

TEST_F(WiFiStateTest, APhoneWithoutWiFiHardwareHasNoDeviceAndNoCurrentNetwork)
{
    WiFiState::join("Home");
    auto state = WiFiState::load();
    state.hasDevice = false;
    state.save();
    auto manager = WiFiManagerClientCreate(nullptr, 0);
    EXPECT_TRUE(WiFiManagerClientCopyDevices(manager).empty());
    EXPECT_FALSE(WiFiDeviceClientCopyCurrentNetwork(std::make_shared<WiFiDeviceClient>()));
}
