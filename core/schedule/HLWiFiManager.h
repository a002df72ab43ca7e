#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/mobilewifi/MobileWiFi.h"

#include <optional>

// The joined and the remembered Wi-Fi networks, as the profiles' Wi-Fi rules see them. A network
// is described by a dictionary: "SSID" and "record" (its "lastAutoJoined" and "lastJoined" dates
// when known); an empty dictionary stands for no network.
class HLWiFiManager {
public:
    static HLWiFiManager& sharedManager();

    HLWiFiManager();
    void initialize();

    PlistArray knownNetworks() const;
    // The joined network, or an empty dictionary; remembers whether one was joined.
    PlistDictionary currentNetWork();
    PlistDictionary netWorkBySSID(const std::string& ssid) const;
    // The remembered network joined most recently; empty when the latest look found no joined
    // network, nullopt when no network is remembered.
    std::optional<PlistDictionary> lastConnectedNetwork() const;
    // The joined network as the previous network-change check saw it (empty for none), replaced
    // by the one this check sees. Comparing with the remembered networks' join dates cannot tell
    // a move from one remembered network to another: the new one is already the latest joined.
    PlistDictionary exchangeCheckedNetwork(PlistDictionary seenNow);

    // The "SSID" of a network description, if it has one.
    static std::optional<std::string> ssidOf(const PlistDictionary& network);

    bool isLastConnectedToNetwork() const { return m_lastConnectedToNetwork; }
    const WiFiManagerClientRef& manager() const { return m_manager; }
    const WiFiDeviceClientRef& client() const { return m_client; }

private:
    static PlistDictionary describe(const WiFiNetworkRef&);

    WiFiManagerClientRef m_manager;
    WiFiDeviceClientRef m_client;
    bool m_lastConnectedToNetwork { false };
    PlistDictionary m_checkedNetwork;
};
