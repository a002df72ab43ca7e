#include "platform/foundation/UIDevice.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PropertyList.h"

#include <cstdlib>

std::shared_ptr<UIDevice> UIDevice::currentDevice()
{
    static auto device = std::make_shared<UIDevice>();
    return device;
}

std::string UIDevice::systemVersion() const
{
    auto version = PropertyList::read(DeviceRoot::resolve("/System/Library/CoreServices/SystemVersion.plist"));
    if (!version)
        return {};
    auto text = (*version)["ProductVersion"].asString();
    return text ? *text : std::string();
}

namespace {

std::string deviceInfo(const char* key, const char* fallback)
{
    auto info = PropertyList::read(DeviceRoot::resolve("/System/Library/CoreServices/DeviceInfo.plist"));
    const std::string* text = info ? (*info)[key].asString() : nullptr;
    return text && !text->empty() ? *text : std::string(fallback);
}

}

std::string UIDevice::modelCode() const
{
    return deviceInfo("ProductType", "iPhone12,1");
}

std::string UIDevice::serialNumber() const
{
    return deviceInfo("SerialNumber", "");
}

std::string UIDevice::uniqueDeviceIdentifier() const
{
    return deviceInfo("UniqueDeviceID", "");
}

long UIDevice::userInterfaceIdiom() const
{
    return modelCode().starts_with("iPad") ? 1 : 0;
}

std::shared_ptr<UIScreen> UIScreen::mainScreen()
{
    static auto screen = std::make_shared<UIScreen>();
    return screen;
}

UITraitCollection UIScreen::traitCollection() const
{
    if (std::strtod(UIDevice::currentDevice()->systemVersion().c_str(), nullptr) < 12.0)
        return UITraitCollection(std::nullopt);
    auto domain = NSUserDefaults::standardUserDefaults().persistentDomainForName("com.apple.UIKit");
    long style = domain ? PlistValue((*domain)["UserInterfaceStyle"]).longLongValue() : 0;
    return UITraitCollection(style == 2 ? UIUserInterfaceStyle::Dark : UIUserInterfaceStyle::Light);
}
