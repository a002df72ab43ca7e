#pragma once

#include "platform/springboard/ControlCenterList.h"

// Control Center's view controller on OS 10. Its instance variable
// "_allPageContainerViewControllers" holds the pages left to right, each in a
// CCUIControlCenterPageContainerViewController: system controls
// (CCUISystemControlsPageViewController), now playing, home.
class CCUIControlCenterViewController : public ControlCenterList {
public:
    CCUIControlCenterViewController();
};
