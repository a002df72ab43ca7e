#pragma once

#include "platform/springboard/ControlCenterList.h"

// The toggles section of Control Center on OS 7 to 9. Its instance variable "_modules" holds
// the toggles left to right: airplane mode, Wi-Fi, Bluetooth, Do Not Disturb
// (SBCCDoNotDisturbSetting), rotation lock.
class SBCCSettingsSectionController : public ControlCenterList {
public:
    SBCCSettingsSectionController();
};
