#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

// The toggles section of Control Center on OS 10: `_allButtonModules` are the toggles left to
// right: airplane mode, Wi-Fi, Bluetooth, Do Not Disturb (CCUIDoNotDisturbSetting), rotation
// lock.
class CCUISettingsSectionController : public NSObject {
public:
    CCUISettingsSectionController();
    const std::vector<std::shared_ptr<NSObject>>& _allButtonModules() const { return m_modules; }

private:
    std::vector<std::shared_ptr<NSObject>> m_modules;
};
