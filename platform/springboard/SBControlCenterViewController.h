#pragma once

#include "platform/springboard/ControlCenterList.h"

// Control Center's view controller on OS 7 to 9. Its instance variable "_sectionList" holds the
// sections top to bottom: settings (SBCCSettingsSectionController), brightness, media controls,
// AirPlay and AirDrop, quick launch.
class SBControlCenterViewController : public ControlCenterList {
public:
    SBControlCenterViewController();
};
