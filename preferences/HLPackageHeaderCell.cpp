#include "preferences/HLPackageHeaderCell.h"

#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/UIDevice.h"
#include "platform/uikit/UIColor.h"
#include "preferences/HLBundleImages.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLPackageHeaderCell>("HLPackageHeaderCell", {}, [] { return std::make_shared<HLPackageHeaderCell>(); });

}

void HLPackageHeaderCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    VQPackageHeaderCell::refreshCellContentsWithSpecifier(specifier);
    auto color = hl_navigationColor()->colorWithAlphaComponent(0.85);
    if (UIDevice::currentDevice()->userInterfaceIdiom() == 1) {
        auto panel = std::make_shared<UIBackgroundView>();
        panel->color = color;
        panel->frame = CGRect { -40, 0, width() + 40, preferredHeightForWidth(width()) };
        panel->flexibleWidth = true;
        setBackgroundPanel(panel);
    } else {
        setBackgroundColor(color);
    }
    textLabel().backgroundColor = UIColor::clearColor();
    textLabel().textColor = UIColor::whiteColor();
}
