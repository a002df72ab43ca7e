#include "preferences/HLSliderCell.h"

#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered
    = ObjCRuntime::registerClass<HLSliderCell>("HLSliderCell", {}, [] { return std::make_shared<HLSliderCell>(); });

}

void HLSliderCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    PSSliderTableCell::refreshCellContentsWithSpecifier(specifier);
    textLabel().hidden = false;
    textLabel().alpha = 1;
    textLabel().numberOfLines = 0;
}

void HLSliderCell::layoutSubviews()
{
    PSSliderTableCell::layoutSubviews();
    textLabel().frame.y -= 15;
    controlFrame().y += 15;
}
