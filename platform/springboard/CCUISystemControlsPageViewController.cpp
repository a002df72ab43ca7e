#include "platform/springboard/CCUISystemControlsPageViewController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/CCUISettingsSectionController.h"
#include "platform/springboard/ControlCenterElement.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUISystemControlsPageViewController>("CCUISystemControlsPageViewController",
    [] { return Device::current().runsMajorVersion(10, 10); });
[[maybe_unused]] const bool variables = VQInstanceVariables::add<CCUISystemControlsPageViewController>("_sectionList",
    [](CCUISystemControlsPageViewController& page) { return VQInstanceVariables::objects(page.sectionList()); });

}

CCUISystemControlsPageViewController::CCUISystemControlsPageViewController()
    : m_sectionList {
        std::make_shared<CCUISettingsSectionController>(),
        std::make_shared<ControlCenterElement>("CCUIBrightnessSectionController"),
        std::make_shared<ControlCenterElement>("CCUINightShiftSectionController"),
        std::make_shared<ControlCenterElement>("CCUIAirStuffSectionController"),
        std::make_shared<ControlCenterElement>("CCUIQuickLaunchSectionController"),
    }
{
}
