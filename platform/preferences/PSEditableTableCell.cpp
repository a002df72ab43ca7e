#include "platform/preferences/PSEditableTableCell.h"

#include "platform/preferences/PSSpecifier.h"

void PSEditableTableCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    PSTableCell::refreshCellContentsWithSpecifier(specifier);
    if (value().isNone())
        setValue(specifier->propertyForKey("value"));
    if (auto text = specifier->propertyForKey("placeholder").asString())
        m_placeholder = *text;
    if (auto caps = specifier->propertyForKey("autoCaps").asString())
        m_autoCaps = *caps;
    m_autocorrection = !specifier->propertyForKey("noAutoCorrect").boolValue();
}
