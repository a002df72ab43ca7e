#pragma once

#include "platform/springboard/ControlCenterList.h"

// The toggles section of Control Center on OS 10: `_allButtonModules` are the toggles left to
// right: airplane mode, Wi-Fi, Bluetooth, Do Not Disturb (CCUIDoNotDisturbSetting), rotation
// lock.
class CCUISettingsSectionController : public ControlCenterList {
public:
    CCUISettingsSectionController();
    const Elements& _allButtonModules() const { return elements(); }
};
