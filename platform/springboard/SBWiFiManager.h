#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/substrate/HookableMethod.h"

#include <memory>
#include <optional>
#include <string>

// SpringBoard's Wi-Fi manager: knows the network the phone is joined to, for the status bar.
// SpringBoard refreshes it when the system announces a network change
// ("com.apple.system.config.network_change"); the home-screen host subscribes it with
// `observeNetworkChanges`.
class SBWiFiManager : public NSObject {
public:
    static std::shared_ptr<SBWiFiManager> sharedInstance();

    // _updateCurrentNetwork — the system's implementation re-reads the current network from the
    // phone's Wi-Fi preferences.
    static HookableMethod<void(SBWiFiManager&)> updateCurrentNetworkMethod;
    void _updateCurrentNetwork();

    // The network as last read; nullopt when not joined.
    std::optional<std::string> currentNetworkName() const { return m_currentNetwork; }

    // Calls `_updateCurrentNetwork` on the shared manager whenever the Darwin notification
    // "com.apple.system.config.network_change" arrives on the process's Darwin centre.
    static void observeNetworkChanges();

private:
    friend struct SBWiFiManagerSystem;
    std::optional<std::string> m_currentNetwork;
};
