#include "platform/preferences/ToneController.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/tonekit/TKTonePickerViewController.h"

namespace {

int major()
{
    return Device::current().majorSystemVersion();
}

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<ToneController>("ToneController", [] { return major() < 9; })
    && ObjCRuntime::registerClass<ToneController>("PSUIToneController", [] { return major() >= 9 && major() < 13; })
    && ObjCRuntime::registerClass<ToneController>("SHSToneController", [] { return major() >= 13; });

std::optional<std::string> toneOf(const PSSpecifier& row)
{
    auto identifier = row.userInfo().asString();
    return identifier ? std::optional<std::string>(*identifier) : std::nullopt;
}

}

void ToneController::setTonePickerViewController(std::shared_ptr<TKTonePickerViewController> picker)
{
    m_picker = std::move(picker);
    reloadSpecifiers();
}

const PSListController::Specifiers& ToneController::specifiers()
{
    if (!m_specifiers.empty() || !m_picker)
        return m_specifiers;
    for (const auto& section : m_picker->sections()) {
        m_specifiers.push_back(section.title.empty() ? PSSpecifier::emptyGroupSpecifier() : PSSpecifier::groupSpecifierWithName(section.title));
        for (const auto& entry : section.entries) {
            auto row = PSSpecifier::preferenceSpecifierNamed(entry.name, nullptr, nullptr, {}, PSCellType::ListItem);
            row->setIdentifier(entry.identifier.value_or("none"));
            if (entry.identifier)
                row->setUserInfo(PlistValue(*entry.identifier));
            m_specifiers.push_back(row);
        }
    }
    return m_specifiers;
}

std::shared_ptr<PSTableCell> ToneController::tableViewCellForRow(size_t index)
{
    auto cell = PSListController::tableViewCellForRow(index);
    auto row = specifierAtIndex(index);
    if (cell && row && m_picker)
        cell->setChecked(toneOf(*row) == m_picker->selectedToneIdentifier());
    return cell;
}

void ToneController::tableViewDidSelectRow(size_t index)
{
    auto row = specifierAtIndex(index);
    if (!row || row->isGroup() || !m_picker)
        return;
    m_picker->pickTone(toneOf(*row));
    reloadSpecifier(row);
}
