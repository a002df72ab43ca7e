#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <vector>

// The toggles section of Control Center on OS 7 to 9. Its instance variable "_modules" holds
// the toggles left to right: airplane mode, Wi-Fi, Bluetooth, Do Not Disturb
// (SBCCDoNotDisturbSetting), rotation lock.
class SBCCSettingsSectionController : public NSObject {
public:
    SBCCSettingsSectionController();
    const std::vector<std::shared_ptr<NSObject>>& modules() const { return m_modules; }

private:
    std::vector<std::shared_ptr<NSObject>> m_modules;
};
