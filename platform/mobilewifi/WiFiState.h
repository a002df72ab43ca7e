#pragma once

#include "platform/foundation/NSDate.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The simulated phone's Wi-Fi: the remembered networks with their join dates and the network the
// first interface is joined to, kept in the phone's Wi-Fi preferences
// "/var/preferences/SystemConfiguration/com.apple.wifi.plist":
//   "List of known networks": array of { "SSID_STR", "lastJoined", "lastAutoJoined" }
//   "CurrentNetwork": the joined network's SSID (absent when not joined)
//   "HasWiFiDevice": false for a phone without Wi-Fi hardware (absent means true)
// Joining or leaving posts the system's Darwin notification "com.apple.system.config.network_change",
// as the phone's configuration daemon does.
class WiFiState {
public:
    struct KnownNetwork {
        std::string ssid;
        std::optional<NSDate> lastJoined;
        std::optional<NSDate> lastAutoJoined;
    };

    static std::filesystem::path path();
    static WiFiState load();
    bool save() const;

    // Joins a network now: it becomes the current one, is remembered if it was not, and its
    // join date is now (the automatic one when `automatically`).
    static void join(const std::string& ssid, bool automatically = false);
    static void leave();

    std::vector<KnownNetwork> known;
    std::optional<std::string> current;
    bool hasDevice { true };
};
