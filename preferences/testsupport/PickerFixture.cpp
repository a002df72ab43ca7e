#include "preferences/testsupport/PickerFixture.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "core/schedule/HLEventManager.h"
#include "platform/eventkit/EKEventStore.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HLPickerUserInfo.h"
#include "preferences/HushlinePreferencesController.h"

#include <fstream>

void PickerFixture::SetUp()
{
    PreferencesFixture::SetUp();
    writeSettings(true);
}

void PickerFixture::writeCalendar(const std::string& account, const std::string& accountTitle, const std::string& folder,
    const std::string& title, const std::optional<std::string>& color, bool writable) const
{
    auto accountFolder = EKEventStore::calendarsFolder() / account;
    auto calendarFolder = accountFolder / folder;
    std::filesystem::create_directories(calendarFolder);
    std::ofstream(accountFolder / "displayname") << accountTitle << "\n";
    std::ofstream(calendarFolder / "displayname") << title << "\n";
    if (color)
        std::ofstream(calendarFolder / "color") << *color << "\n";
    if (!writable)
        std::filesystem::permissions(calendarFolder, std::filesystem::perms::owner_write | std::filesystem::perms::group_write
                | std::filesystem::perms::others_write, std::filesystem::perm_options::remove);
}

std::shared_ptr<HLProfile> PickerFixture::storeProfile(const PlistDictionary& fields)
{
    auto entry = profileEntry(kProfileId, "Meetings", true, true);
    for (const auto& [key, value] : fields)
        entry[key] = value;
    writeProfiles({ PlistValue(entry) });
    return HLProfilesManager::sharedManager().profileByIdentifier(kProfileId, true);
}

PlistDictionary PickerFixture::storedEntry() const
{
    for (const auto& entry : storedProfiles())
        if (entry["identifier"] == PlistValue(kProfileId))
            return *entry.asDictionary();
    return {};
}

std::vector<std::string> PickerFixture::storedStrings(const std::string& key) const
{
    std::vector<std::string> strings;
    auto entry = storedEntry();
    if (const auto* entries = entry[key].asArray())
        for (const auto& item : *entries)
            strings.push_back(*item.asString());
    return strings;
}

std::vector<std::string> PickerFixture::checkedRows(PSListController& list, RowName name)
{
    std::vector<std::string> names;
    for (size_t index = 0; index < list.specifiers().size(); ++index) {
        auto cell = list.tableViewCellForRow(index);
        if (!cell || !cell->isChecked())
            continue;
        switch (name) {
        case RowName::Title:
            names.push_back(cell->textLabel().text);
            break;
        case RowName::ShownTitle:
            names.push_back(cell->displayedTitleLabel().text);
            break;
        case RowName::Identifier:
            names.push_back(list.specifiers()[index]->identifier());
            break;
        }
    }
    return names;
}

void PickerFixture::tapRow(PSListController& list, const std::string& name)
{
    list.tableViewDidSelectRow(static_cast<size_t>(rowIndex(list, name)));
}

std::shared_ptr<PSViewController> PickerFixture::openPicker(const std::string& className, const std::shared_ptr<HLProfile>& profile)
{
    if (!m_rootList)
        m_rootList = openRootList();
    auto row = PSSpecifier::preferenceSpecifierNamed(className, nullptr, nullptr, className, PSCellType::Link);
    auto info = className == "HushlineCalendarsController"
        ? hl_calendarPickerUserInfo(profile, HLEventManager::sharedManager().groupedCalendars())
        : hl_pickerUserInfo(profile);
    row->setUserInfo(PlistValue(std::move(info)));
    auto picker = m_rootList->controllerForSpecifier(row);
    if (picker)
        m_rootList->pushController(picker, false);
    return picker;
}
