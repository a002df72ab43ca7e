#include "platform/mobilewifi/MobileWiFi.h"

#include "platform/mobilewifi/WiFiState.h"

namespace {

WiFiNetworkRef networkFrom(const WiFiState::KnownNetwork& known)
{
    auto network = std::make_shared<WiFiNetwork>();
    network->ssid = known.ssid;
    if (known.lastJoined)
        network->record["lastJoined"] = *known.lastJoined;
    if (known.lastAutoJoined)
        network->record["lastAutoJoined"] = *known.lastAutoJoined;
    return network;
}

}

WiFiManagerClientRef WiFiManagerClientCreate(const void*, int)
{
    return std::make_shared<WiFiManagerClient>();
}

std::vector<WiFiDeviceClientRef> WiFiManagerClientCopyDevices(const WiFiManagerClientRef& manager)
{
    if (!manager || !WiFiState::load().hasDevice)
        return {};
    return { std::make_shared<WiFiDeviceClient>(WiFiDeviceClient { "en0" }) };
}

std::vector<WiFiNetworkRef> WiFiManagerClientCopyNetworks(const WiFiManagerClientRef& manager)
{
    std::vector<WiFiNetworkRef> networks;
    if (!manager)
        return networks;
    for (const auto& known : WiFiState::load().known)
        networks.push_back(networkFrom(known));
    return networks;
}

WiFiNetworkRef WiFiDeviceClientCopyCurrentNetwork(const WiFiDeviceClientRef& device)
{
    if (!device)
        return nullptr;
    WiFiState state = WiFiState::load();
    if (!state.hasDevice || !state.current)
        return nullptr;
    for (const auto& known : state.known)
        if (known.ssid == *state.current)
            return networkFrom(known);
    return networkFrom({ *state.current, std::nullopt, std::nullopt });
}

std::string WiFiNetworkGetSSID(const WiFiNetworkRef& network)
{
    return network ? network->ssid : std::string();
}

PlistDictionary WiFiNetworkCopyRecord(const WiFiNetworkRef& network)
{
    return network ? network->record : PlistDictionary();
}
