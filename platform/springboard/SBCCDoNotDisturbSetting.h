#pragma once

#include "platform/springboard/DoNotDisturbSetting.h"

// The Do Not Disturb toggle of Control Center on OS 7 to 9 (see DoNotDisturbSetting).
class SBCCDoNotDisturbSetting : public DoNotDisturbSetting {
public:
    SBCCDoNotDisturbSetting() : DoNotDisturbSetting("SBCCDoNotDisturbSetting") { }
};
