#include "platform/springboard/SBControlCenterViewController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/ControlCenterElement.h"
#include "platform/springboard/SBCCSettingsSectionController.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBControlCenterViewController>("SBControlCenterViewController",
    [] { return Device::current().runsMajorVersion(7, 9); });
[[maybe_unused]] const bool variables = VQInstanceVariables::add<SBControlCenterViewController>("_sectionList",
    [](SBControlCenterViewController& controller) { return VQInstanceVariables::objects(controller.sectionList()); });

}

SBControlCenterViewController::SBControlCenterViewController()
    : m_sectionList {
        std::make_shared<SBCCSettingsSectionController>(),
        std::make_shared<ControlCenterElement>("SBCCBrightnessSectionController"),
        std::make_shared<ControlCenterElement>("SBCCMediaControlsSectionController"),
        std::make_shared<ControlCenterElement>("SBCCAirStuffSectionController"),
        std::make_shared<ControlCenterElement>("SBCCQuickLaunchSectionController"),
    }
{
}
