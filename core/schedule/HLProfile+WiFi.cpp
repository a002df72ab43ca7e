#include "core/profile/HLProfile.h"

#include "core/HLLog.h"

#include <algorithm>

bool HLProfile::isWifiEnabled()
{
    return !wifiNetworks().empty();
}

void HLProfile::addToWiFiNetwork(const std::string& ssid)
{
    HLLogInfo("****** Adding '%s' to WiFi list", ssid.c_str());
    wifiNetworks().push_back(ssid);
    HLLogInfo("****** After adding '%s' to WiFi list, %s", ssid.c_str(), PlistValue(wifiNetworks()).description().c_str());
}

void HLProfile::removeFromWiFiNetwork(const std::string& ssid)
{
    HLLogInfo("****** Removing '%s' for WiFi list", ssid.c_str());
    std::erase(wifiNetworks(), ssid);
    HLLogInfo("****** After removing '%s' WiFi from list, %s", ssid.c_str(), PlistValue(wifiNetworks()).description().c_str());
}

bool HLProfile::hasWiFiNetwork(const std::optional<std::string>& ssid)
{
    if (!isWifiEnabled() || !ssid)
        return false;
    const auto& networks = wifiNetworks();
    return std::find(networks.begin(), networks.end(), *ssid) != networks.end();
}
