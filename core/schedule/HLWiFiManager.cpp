#include "core/schedule/HLWiFiManager.h"

#include "core/HLLog.h"

#include <utility>

HLWiFiManager& HLWiFiManager::sharedManager()
{
    static HLWiFiManager manager;
    return manager;
}

HLWiFiManager::HLWiFiManager()
{
    initialize();
}

void HLWiFiManager::initialize()
{
    m_manager = WiFiManagerClientCreate(nullptr, 0);
    auto devices = WiFiManagerClientCopyDevices(m_manager);
    if (!devices.empty())
        m_client = devices.front();
}

PlistDictionary HLWiFiManager::describe(const WiFiNetworkRef& network)
{
    PlistDictionary record;
    auto platformRecord = WiFiNetworkCopyRecord(network);
    for (const char* key : { "lastAutoJoined", "lastJoined" }) {
        auto it = platformRecord.find(key);
        if (it != platformRecord.end())
            record[key] = it->second;
    }
    return { { "SSID", WiFiNetworkGetSSID(network) }, { "record", std::move(record) } };
}

PlistArray HLWiFiManager::knownNetworks() const
{
    PlistArray networks;
    for (const auto& network : WiFiManagerClientCopyNetworks(m_manager))
        networks.emplace_back(describe(network));
    return networks;
}

PlistDictionary HLWiFiManager::currentNetWork()
{
    auto network = m_client ? WiFiDeviceClientCopyCurrentNetwork(m_client) : nullptr;
    m_lastConnectedToNetwork = network != nullptr;
    return network ? describe(network) : PlistDictionary();
}

PlistDictionary HLWiFiManager::netWorkBySSID(const std::string& ssid) const
{
    for (const auto& network : knownNetworks())
        if (auto s = network["SSID"].asString(); s && *s == ssid)
            return *network.asDictionary();
    return {};
}

std::optional<PlistDictionary> HLWiFiManager::lastConnectedNetwork() const
{
    if (!m_lastConnectedToNetwork) {
        HLLogInfo("Seems last time its not connected to a network..");
        return PlistDictionary();
    }
    std::optional<PlistDictionary> latest;
    std::optional<NSDate> latestDate;
    for (const auto& network : knownNetworks()) {
        const auto& record = network["record"];
        auto autoJoined = record["lastAutoJoined"].asDate();
        auto joined = record["lastJoined"].asDate();
        std::optional<NSDate> date;
        if (autoJoined && (!joined || *autoJoined > *joined))
            date = *autoJoined;
        else if (joined)
            date = *joined;
        // The first network is the answer until one was joined strictly later.
        if (!latest || (date && (!latestDate || *date > *latestDate))) {
            latest = *network.asDictionary();
            latestDate = date;
        }
    }
    return latest;
}

PlistDictionary HLWiFiManager::exchangeCheckedNetwork(PlistDictionary seenNow)
{
    return std::exchange(m_checkedNetwork, std::move(seenNow));
}

std::optional<std::string> HLWiFiManager::ssidOf(const PlistDictionary& network)
{
    auto it = network.find("SSID");
    if (it == network.end() || !it->second.isString())
        return std::nullopt;
    return *it->second.asString();
}
