// libstatusbar's item, built into the separate library libstatusbar (installed into the device
// root as "/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib"). Loading the library
// registers the class "LSStatusBarItem".
#include "platform/libstatusbar/LSStatusBarItem.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

class StatusBarItem final : public LSStatusBarItem {
public:
    void initWithIdentifier(const std::string& identifier, int64_t alignment) override
    {
        m_item.identifier = identifier;
        m_item.alignment = alignment;
        show();
    }
    void setImageName(const std::string& imageName) override
    {
        m_item.imageName = imageName;
        show();
    }
    void setVisible(bool visible) override
    {
        m_item.visible = visible;
        show();
    }
    bool isVisible() const override { return m_item.visible; }
    const std::string& identifier() const override { return m_item.identifier; }

private:
    void show() { Device::current().setStatusBarItem(m_item); }

    Device::StatusBarItem m_item;
};

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<StatusBarItem>("LSStatusBarItem", {},
    [] { return std::make_shared<StatusBarItem>(); });

}
