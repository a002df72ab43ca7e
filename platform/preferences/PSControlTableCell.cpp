#include "platform/preferences/PSControlTableCell.h"

#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIImage.h"

void PSControlTableCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    PSTableCell::refreshCellContentsWithSpecifier(specifier);
    // A row without a stored value shows its "default".
    if (value().isNone())
        setValue(specifier->propertyForKey("default"));
}

void PSSliderTableCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    PSControlTableCell::refreshCellContentsWithSpecifier(specifier);
    if (specifier->propertyForKey("min").isNumber())
        m_min = specifier->propertyForKey("min").doubleValue();
    if (specifier->propertyForKey("max").isNumber())
        m_max = specifier->propertyForKey("max").doubleValue();
    m_leftImage = specifier->propertyForKey("leftImage").asObject<UIImage>();
    m_rightImage = specifier->propertyForKey("rightImage").asObject<UIImage>();
    // The standard slider row shows no title: the slider fills the row.
    textLabel().hidden = true;
}

void PSSliderTableCell::layoutSubviews()
{
    controlFrame() = CGRect { 15, 0, 290, 44 };
    textLabel().frame = CGRect { 15, 0, 290, 44 };
}
