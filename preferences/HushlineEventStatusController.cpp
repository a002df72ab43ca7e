#include "preferences/HushlineEventStatusController.h"

#include "core/profile/HLProfile.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"

#include <algorithm>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineEventStatusController>(
    "HushlineEventStatusController", {}, [] { return std::make_shared<HushlineEventStatusController>(); });

bool isStatusRow(const PSSpecifier& row)
{
    return row.propertyForKey("cellClass") == PlistValue("HLEventStatusTableCell");
}

}

std::vector<std::string> HushlineEventStatusController::statusLabels()
{
    std::vector<std::string> labels;
    for (const char* key : { "All", "Accepted", "Tentative", "Declined/Cancelled" })
        labels.push_back(HLLocalizedString(key));
    return labels;
}

const PSListController::Specifiers& HushlineEventStatusController::specifiers()
{
    if (!m_specifiers.empty() || !profile())
        return m_specifiers;
    m_specifiers.push_back(PSSpecifier::emptyGroupSpecifier());
    for (const auto& label : statusLabels()) {
        auto row = PSSpecifier::preferenceSpecifierNamed(label, nullptr, nullptr, {}, PSCellType::StaticText);
        row->setIdentifier(label);
        row->setProperty("HLEventStatusTableCell", "cellClass");
        m_specifiers.push_back(row);
    }
    m_specifiers.push_back(copyRightGroup());
    return m_specifiers;
}

std::shared_ptr<PSTableCell> HushlineEventStatusController::tableViewCellForRow(size_t index)
{
    auto cell = HLPickerListController::tableViewCellForRow(index);
    auto row = specifierAtIndex(index);
    auto edited = profile();
    if (!cell || !row || !edited || !isStatusRow(*row))
        return cell;
    auto labels = statusLabels();
    auto position = std::find(labels.begin(), labels.end(), row->identifier()) - labels.begin();
    cell->setChecked(position == edited->applyProfileEventStatus());
    cell->setTintColor(hl_navigationColor());
    // A new tint colours the cell's own label again.
    cell->layoutSubviews();
    return cell;
}

void HushlineEventStatusController::tableViewDidSelectRow(size_t index)
{
    auto row = specifierAtIndex(index);
    auto edited = profile();
    if (!row || !edited || !isStatusRow(*row))
        return;
    auto labels = statusLabels();
    auto found = std::find(labels.begin(), labels.end(), row->identifier());
    if (found == labels.end())
        return;
    // The checkmarks follow the profile's value: the one of the old label goes, the tapped one
    // gets it.
    edited->setApplyProfileEventStatus(found - labels.begin());
    reloadSpecifiers();
    saveProfile();
}
