#include "platform/springboard/SBControlCenterController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/springboard/CCUIControlCenterViewController.h"
#include "platform/springboard/ControlCenterElement.h"
#include "platform/springboard/SBControlCenterViewController.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBControlCenterController>("SBControlCenterController",
    [] { return Device::current().runsMajorVersion(7, 13); });
[[maybe_unused]] const bool variables = VQInstanceVariables::add<SBControlCenterController>("_viewController",
    [](SBControlCenterController& controller) { return PlistValue(controller.viewController()); });

std::shared_ptr<NSObject> makeViewController(int major)
{
    if (major >= 7 && major <= 9)
        return std::make_shared<SBControlCenterViewController>();
    if (major == 10)
        return std::make_shared<CCUIControlCenterViewController>();
    return std::make_shared<ControlCenterElement>("CCUIModularControlCenterOverlayViewController");
}

}

std::shared_ptr<SBControlCenterController> SBControlCenterController::sharedInstance()
{
    static const auto controller = std::make_shared<SBControlCenterController>();
    return controller;
}

std::shared_ptr<NSObject> SBControlCenterController::viewController()
{
    int major = Device::current().majorSystemVersion();
    if (major != m_builtForVersion) {
        m_viewController = makeViewController(major);
        m_builtForVersion = major;
    }
    return m_viewController;
}
