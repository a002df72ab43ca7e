#include "platform/preferences/PSTableCell.h"

#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSControlTableCell.h"
#include "platform/preferences/PSEditableTableCell.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIImage.h"

namespace {

std::shared_ptr<PSTableCell> standardCell(PSCellType type)
{
    switch (type) {
    case PSCellType::Switch:
        return std::make_shared<PSSwitchTableCell>();
    case PSCellType::Slider:
        return std::make_shared<PSSliderTableCell>();
    case PSCellType::EditText:
        return std::make_shared<PSEditableTableCell>();
    default:
        return std::make_shared<PSTableCell>();
    }
}

}

std::shared_ptr<PSTableCell> PSTableCell::cellForSpecifier(const std::shared_ptr<PSSpecifier>& specifier, const std::string& cellClass)
{
    std::shared_ptr<PSTableCell> cell;
    if (auto named = cellClass.empty() ? nullptr : NSClassFromString(cellClass))
        cell = std::dynamic_pointer_cast<PSTableCell>(named->alloc());
    if (!cell)
        cell = standardCell(specifier->cellType());
    cell->initWithSpecifier(specifier);
    cell->refreshCellContentsWithSpecifier(specifier);
    cell->layoutSubviews();
    return cell;
}

void PSTableCell::initWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    m_specifier = specifier;
    bool isLink = specifier->cellType() == PSCellType::Link || specifier->cellType() == PSCellType::LinkList;
    m_accessoryType = isLink ? UITableViewCellAccessoryType::DisclosureIndicator : UITableViewCellAccessoryType::None;
}

void PSTableCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    m_textLabel.text = specifier->name().value_or("");
    if (auto icon = specifier->propertyForKey("iconImage").asObject<UIImage>())
        m_icon = icon;
    if (specifier->hasGetter())
        m_value = specifier->performGetter();
}
