#include "preferences/HLSwitchCell.h"

#include "core/HLUtils.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/uikit/UIColor.h"
#include "preferences/HLBundleImages.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLSwitchCell>("HLSwitchCell", {}, [] { return std::make_shared<HLSwitchCell>(); });

}

std::shared_ptr<UIColor> HLSwitchCell::switchCellOnTintColor() const
{
    if (HLUtils::isDarkModeEnabled())
        return UIColor::colorWithWhite(1, 0.6);
    return hl_navigationColor();
}
