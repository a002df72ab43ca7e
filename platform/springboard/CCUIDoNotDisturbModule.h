#pragma once

#include "platform/springboard/CCUIToggleModule.h"

// Control Center's Do Not Disturb module (OS 11 and later): selected while Do Not Disturb is on;
// selecting it switches the phone's Do Not Disturb.
class CCUIDoNotDisturbModule : public CCUIToggleModule {
public:
    CCUIDoNotDisturbModule() : CCUIToggleModule("CCUIDoNotDisturbModule") { }
    bool isSelected() const override;
    void setSelected(bool selected) override;
};
