#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/springboard/CCUIModuleInstance.h"

#include <memory>
#include <vector>

// Control Center's module manager on OS 11 and later. Its module instances, in Control Center's
// order: connectivity ("com.apple.control-center.ConnectivityModule"), now playing
// ("com.apple.mediaremote.controlcenter.nowplaying"), orientation lock
// ("com.apple.control-center.OrientationLockModule"), Do Not Disturb
// ("com.apple.control-center.DoNotDisturbModule", a CCUIDoNotDisturbModule), display
// ("com.apple.control-center.DisplayModule"), audio ("com.apple.control-center.AudioModule").
class CCUIModuleInstanceManager : public NSObject {
public:
    static std::shared_ptr<CCUIModuleInstanceManager> sharedInstance();
    CCUIModuleInstanceManager();
    const std::vector<std::shared_ptr<CCUIModuleInstance>>& moduleInstances() const { return m_instances; }

private:
    std::vector<std::shared_ptr<CCUIModuleInstance>> m_instances;
};
