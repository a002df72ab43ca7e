#pragma once

#include "platform/springboard/DoNotDisturbSetting.h"

// The Do Not Disturb toggle of Control Center on OS 10 (see DoNotDisturbSetting).
class CCUIDoNotDisturbSetting : public DoNotDisturbSetting {
public:
    CCUIDoNotDisturbSetting() : DoNotDisturbSetting("CCUIDoNotDisturbSetting") { }
};
