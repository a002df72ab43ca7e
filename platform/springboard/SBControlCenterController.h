#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>

// SpringBoard's Control Center controller (every OS version). Its instance variable
// "_viewController" holds the Control Center of the phone's OS generation:
//   7-9     SBControlCenterViewController  ("_sectionList" -> SBCCSettingsSectionController
//           ("_modules") -> SBCCDoNotDisturbSetting)
//   10      CCUIControlCenterViewController ("_allPageContainerViewControllers" -> page
//           containers -> CCUISystemControlsPageViewController ("_sectionList") ->
//           CCUISettingsSectionController (_allButtonModules) -> CCUIDoNotDisturbSetting)
//   11-13   a view controller the system does not walk (Do Not Disturb is reached through
//           CCUIModuleInstanceManager instead)
// with the phone's other sections, pages and toggles around the Do Not Disturb control.
class SBControlCenterController : public NSObject {
public:
    static std::shared_ptr<SBControlCenterController> sharedInstance();

    // The "_viewController" variable, built for the OS version the first time it is read.
    std::shared_ptr<NSObject> viewController();

private:
    int m_builtForVersion { -1 };
    std::shared_ptr<NSObject> m_viewController;
};
