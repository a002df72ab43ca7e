#include "core/HLUtils.h"

#include "platform/foundation/UIDevice.h"

#include <cstdlib>

double HLUtils::systemVersionNumber()
{
    return std::strtod(UIDevice::currentDevice()->systemVersion().c_str(), nullptr);
}

bool HLUtils::isIOS9() { return systemVersionNumber() >= 9.0; }
bool HLUtils::isIOS10() { return systemVersionNumber() >= 10.0; }
bool HLUtils::isIOS11() { return systemVersionNumber() >= 11.0; }
bool HLUtils::isIOS12() { return systemVersionNumber() >= 12.0; }
bool HLUtils::isIOS13() { return systemVersionNumber() >= 13.0; }

bool HLUtils::isDarkModeEnabled()
{
    auto traits = UIScreen::mainScreen()->traitCollection();
    return traits.respondsToUserInterfaceStyle() && traits.userInterfaceStyle() == UIUserInterfaceStyle::Dark;
}

std::shared_ptr<NSDateFormatter> HLUtils::dateFormatter()
{
    static const auto formatter = std::make_shared<NSDateFormatter>();
    return formatter;
}
