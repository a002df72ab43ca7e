#include "platform/springboard/CCUISystemControlsPageViewController.h"

#include "platform/springboard/CCUISettingsSectionController.h"

namespace {

[[maybe_unused]] const bool registered
    = ControlCenterList::registerClass<CCUISystemControlsPageViewController>("CCUISystemControlsPageViewController", 10, 10, "_sectionList");

}

CCUISystemControlsPageViewController::CCUISystemControlsPageViewController()
    : ControlCenterList({ std::make_shared<CCUISettingsSectionController>(), placeholder("CCUIBrightnessSectionController"),
        placeholder("CCUINightShiftSectionController"), placeholder("CCUIAirStuffSectionController"), placeholder("CCUIQuickLaunchSectionController") })
{
}
