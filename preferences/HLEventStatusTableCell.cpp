#include "preferences/HLEventStatusTableCell.h"

#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HLEventStatusTableCell>(
    "HLEventStatusTableCell", {}, [] { return std::make_shared<HLEventStatusTableCell>(); });

}

void HLEventStatusTableCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    PSTableCell::refreshCellContentsWithSpecifier(specifier);
    m_statusLabel.text = specifier->identifier();
}

void HLEventStatusTableCell::layoutSubviews()
{
    PSTableCell::layoutSubviews();
    textLabel().hidden = true;
    m_statusLabel.frame = CGRect { 15, 0, kCellWidth - 40, kCellHeight };
    // The label follows the cell's tint, which the list sets after making the cell.
    m_statusLabel.textColor = tintColor();
}
