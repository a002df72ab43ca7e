#include "platform/springboard/SBControlCenterViewController.h"

#include "platform/springboard/SBCCSettingsSectionController.h"

namespace {

[[maybe_unused]] const bool registered = ControlCenterList::registerClass<SBControlCenterViewController>("SBControlCenterViewController", 7, 9, "_sectionList");

}

SBControlCenterViewController::SBControlCenterViewController()
    : ControlCenterList({ std::make_shared<SBCCSettingsSectionController>(), placeholder("SBCCBrightnessSectionController"),
        placeholder("SBCCMediaControlsSectionController"), placeholder("SBCCAirStuffSectionController"), placeholder("SBCCQuickLaunchSectionController") })
{
}
