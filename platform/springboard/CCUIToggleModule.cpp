#include "platform/springboard/CCUIToggleModule.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/springboard/CCUIButtonModuleView.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<CCUIToggleModule>("CCUIToggleModule",
    [] { return Device::current().runsMajorVersion(11, 13); });

std::shared_ptr<UIView> makeView(int major)
{
    auto view = std::make_shared<UIView>();
    view->addSubview(std::make_shared<UIView>());
    view->addSubview(major == 12 ? std::make_shared<CCUIButtonModuleView>() : std::make_shared<UIView>());
    return view;
}

}

bool CCUIToggleModule::respondsToSelector(const std::string& selector) const
{
    Device& phone = Device::current();
    if (selector == "isSelected" || selector == "setSelected:")
        return phone.runsMajorVersion(11, 13);
    if (selector == "view" || selector == "buttonTapped:forEvent:")
        return phone.runsMajorVersion(12, 13);
    return false;
}

void CCUIToggleModule::require(const char* selector) const
{
    if (!respondsToSelector(selector))
        ObjCRuntime::doesNotRecognizeSelector(m_phoneClass, selector);
}

std::shared_ptr<UIView> CCUIToggleModule::view()
{
    require("view");
    int major = Device::current().majorSystemVersion();
    if (major != m_viewBuiltForVersion) {
        m_view = makeView(major);
        m_viewBuiltForVersion = major;
    }
    return m_view;
}

void CCUIToggleModule::buttonTapped(const std::shared_ptr<NSObject>& sender, const std::shared_ptr<NSObject>&)
{
    require("buttonTapped:forEvent:");
    std::string from = !sender ? "none" : dynamic_cast<CCUIButtonModuleView*>(sender.get()) ? "CCUIButtonModuleView" : "view";
    Device::current().recordControlCenterTap(m_phoneClass, from);
    setSelected(!isSelected());
}
