#pragma once

#include "platform/foundation/PlistValue.h"

#include <memory>
#include <string>
#include <vector>

// The phone's private Wi-Fi service, as its C calls reach it. The state lives in the phone's
// Wi-Fi preferences (see WiFiState), so every process of one phone sees the same networks.

// A remembered network: its name and its record (the join dates "lastAutoJoined" and
// "lastJoined", when the phone has them).
struct WiFiNetwork {
    std::string ssid;
    PlistDictionary record;
};
using WiFiNetworkRef = std::shared_ptr<WiFiNetwork>;

// A Wi-Fi interface of the phone.
struct WiFiDeviceClient {
    std::string interfaceName;
};
using WiFiDeviceClientRef = std::shared_ptr<WiFiDeviceClient>;

struct WiFiManagerClient { };
using WiFiManagerClientRef = std::shared_ptr<WiFiManagerClient>;

WiFiManagerClientRef WiFiManagerClientCreate(const void* allocator, int options);
// The phone's Wi-Fi interfaces (none when it has no Wi-Fi hardware).
std::vector<WiFiDeviceClientRef> WiFiManagerClientCopyDevices(const WiFiManagerClientRef&);
// The remembered networks, in the phone's order.
std::vector<WiFiNetworkRef> WiFiManagerClientCopyNetworks(const WiFiManagerClientRef&);
// The network the interface is joined to, or null.
WiFiNetworkRef WiFiDeviceClientCopyCurrentNetwork(const WiFiDeviceClientRef&);
std::string WiFiNetworkGetSSID(const WiFiNetworkRef&);
PlistDictionary WiFiNetworkCopyRecord(const WiFiNetworkRef&);
