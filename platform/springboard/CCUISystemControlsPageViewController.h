#pragma once

#include "platform/springboard/ControlCenterList.h"

// The system-controls page of Control Center on OS 10. Its instance variable "_sectionList"
// holds the sections top to bottom: settings (CCUISettingsSectionController), brightness,
// Night Shift, AirPlay and AirDrop, quick launch.
class CCUISystemControlsPageViewController : public ControlCenterList {
public:
    CCUISystemControlsPageViewController();
};
