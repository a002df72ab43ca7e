#include "platform/springboard/SBWiFiManager.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/mobilewifi/WiFiState.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBWiFiManager>("SBWiFiManager");

constexpr const char* kNetworkChange = "com.apple.system.config.network_change";

// Identifies the manager's observation on the Darwin centre.
const char kNetworkObserver = 0;

}

struct SBWiFiManagerSystem {
    static void updateCurrentNetwork(SBWiFiManager& self) { self.m_currentNetwork = WiFiState::load().current; }
};

HookableMethod<void(SBWiFiManager&)> SBWiFiManager::updateCurrentNetworkMethod { &SBWiFiManagerSystem::updateCurrentNetwork };

std::shared_ptr<SBWiFiManager> SBWiFiManager::sharedInstance()
{
    static const auto manager = std::make_shared<SBWiFiManager>();
    return manager;
}

void SBWiFiManager::_updateCurrentNetwork()
{
    updateCurrentNetworkMethod(*this);
}

void SBWiFiManager::observeNetworkChanges()
{
    DarwinNotifyCenter& center = DarwinNotifyCenter::current();
    center.removeObserver(&kNetworkObserver, kNetworkChange);
    center.addObserver(&kNetworkObserver, kNetworkChange, [](const std::string&) {
        SBWiFiManager::sharedInstance()->_updateCurrentNetwork();
    });
}
