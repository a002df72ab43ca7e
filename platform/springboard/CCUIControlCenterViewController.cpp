#include "platform/springboard/CCUIControlCenterViewController.h"

#include "platform/springboard/CCUIControlCenterPageContainerViewController.h"
#include "platform/springboard/CCUISystemControlsPageViewController.h"

namespace {

[[maybe_unused]] const bool registered = ControlCenterList::registerClass<CCUIControlCenterViewController>(
    "CCUIControlCenterViewController", 10, 10, "_allPageContainerViewControllers");

std::shared_ptr<NSObject> page(std::shared_ptr<NSObject> content)
{
    return std::make_shared<CCUIControlCenterPageContainerViewController>(std::move(content));
}

}

CCUIControlCenterViewController::CCUIControlCenterViewController()
    : ControlCenterList({ page(std::make_shared<CCUISystemControlsPageViewController>()), page(placeholder("MPUControlCenterMediaControlsViewController")),
        page(placeholder("HUControlCenterViewController")) })
{
}
