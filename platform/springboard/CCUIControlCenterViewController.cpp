#include "platform/springboard/CCUIControlCenterViewController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/CCUIControlCenterPageContainerViewController.h"
#include "platform/springboard/CCUISystemControlsPageViewController.h"
#include "platform/springboard/ControlCenterElement.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIControlCenterViewController>("CCUIControlCenterViewController",
    [] { return Device::current().runsMajorVersion(10, 10); });
[[maybe_unused]] const bool variables = VQInstanceVariables::add<CCUIControlCenterViewController>("_allPageContainerViewControllers",
    [](CCUIControlCenterViewController& controller) { return VQInstanceVariables::objects(controller.allPageContainerViewControllers()); });

std::shared_ptr<NSObject> page(std::shared_ptr<NSObject> content)
{
    return std::make_shared<CCUIControlCenterPageContainerViewController>(std::move(content));
}

}

CCUIControlCenterViewController::CCUIControlCenterViewController()
    : m_pages {
        page(std::make_shared<CCUISystemControlsPageViewController>()),
        page(std::make_shared<ControlCenterElement>("MPUControlCenterMediaControlsViewController")),
        page(std::make_shared<ControlCenterElement>("HUControlCenterViewController")),
    }
{
}
