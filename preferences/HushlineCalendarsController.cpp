#include "preferences/HushlineCalendarsController.h"

#include "core/HLUtils.h"
#include "core/UIImage+HLAdditions.h"
#include "core/profile/HLProfile.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLPickerUserInfo.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineCalendarsController>(
    "HushlineCalendarsController", {}, [] { return std::make_shared<HushlineCalendarsController>(); });

constexpr const char* kAllDayEventsIgnored = "allDayEventsIgnored";
constexpr const char* kEventStatus = "applyProfileEventStatus";

// The calendar's colour ("#RRGGBB"); a calendar without one shows grey.
std::shared_ptr<UIColor> calendarColor(const EKCalendar& calendar)
{
    unsigned red = 0, green = 0, blue = 0;
    const auto& hex = calendar.color();
    if (!hex || hex->size() < 7 || std::sscanf(hex->c_str(), "#%2x%2x%2x", &red, &green, &blue) != 3)
        return UIColor::colorWithWhite(0.56, 1);
    return UIColor::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, 1);
}

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

}

const PSListController::Specifiers& HushlineCalendarsController::specifiers()
{
    if (!m_specifiers.empty() || !profile())
        return m_specifiers;
    auto switchGroup = PSSpecifier::emptyGroupSpecifier();
    auto footer = HLLocalizedString("When turned on HushlineMe ignores the 'all day' events for the below selected calendars.");
    switchGroup->setProperty(footer, "footerText");
    auto allDay = allDayEventsSpecifier();
    allDay->setProperty(footer, "footerText");
    m_specifiers = { switchGroup, allDay, PSSpecifier::emptyGroupSpecifier(), eventStatusSpecifier() };
    appendCalendarGroups();
    m_specifiers.push_back(copyRightGroup());
    return m_specifiers;
}

std::shared_ptr<PSSpecifier> HushlineCalendarsController::allDayEventsSpecifier()
{
    auto row = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("Ignore All Day Events"), nullptr, nullptr, {}, PSCellType::Switch);
    row->setIdentifier(kAllDayEventsIgnored);
    row->setProperty("HLSwitchCell", "cellClass");
    row->setProperty(true, "default");
    bindToSelf(row);
    return row;
}

std::shared_ptr<PSSpecifier> HushlineCalendarsController::eventStatusSpecifier()
{
    auto row = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("Event Status"), nullptr, nullptr, "HushlineEventStatusController",
        PSCellType::Link);
    row->setIdentifier(kEventStatus);
    row->setUserInfo(PlistValue(hl_pickerUserInfo(profile())));
    return row;
}

void HushlineCalendarsController::appendCalendarGroups()
{
    auto grouped = hl_pickerCalendars(*this);
    std::vector<std::string> accounts;
    for (const auto& [title, calendars] : grouped)
        accounts.push_back(title);
    std::stable_sort(accounts.begin(), accounts.end(), lessIgnoringCase);
    for (const auto& account : accounts) {
        m_specifiers.push_back(PSSpecifier::groupSpecifierWithName(account));
        for (const auto& calendar : grouped[account]) {
            auto row = PSSpecifier::preferenceSpecifierNamed(calendar->title(), nullptr, nullptr, {}, PSCellType::Link);
            row->setProperty("HLCalendarTableCell", "cellClass");
            row->setProperty(PlistValue(hl_imageWithRoundedCornersSize(10, hl_imageWithColor(calendarColor(*calendar)))), "iconImage");
            row->setIdentifier(calendar->calendarIdentifier());
            row->setUserInfo(PlistValue(calendar));
            m_specifiers.push_back(row);
        }
    }
}

std::shared_ptr<PSTableCell> HushlineCalendarsController::tableViewCellForRow(size_t index)
{
    auto cell = HLPickerListController::tableViewCellForRow(index);
    auto row = specifierAtIndex(index);
    auto edited = profile();
    if (!cell || !row || !edited)
        return cell;
    if (row->identifier() == kEventStatus) {
        cell->detailTextLabel().text = edited->applyProfileEventStatusString();
        cell->detailTextLabel().textColor = UIColor::darkGrayColor();
        return cell;
    }
    if (row->propertyForKey("cellClass") != PlistValue("HLCalendarTableCell"))
        return cell;
    cell->setTintColor(HLUtils::isIOS11() ? UIColor::darkGrayColor() : hl_navigationColor());
    const auto& chosen = edited->calendarIdentifiers();
    cell->setChecked(std::find(chosen.begin(), chosen.end(), row->identifier()) != chosen.end());
    return cell;
}

void HushlineCalendarsController::tableViewDidSelectRow(size_t index)
{
    auto row = specifierAtIndex(index);
    if (!row || row->identifier() == kEventStatus || row->propertyForKey("cellClass") != PlistValue("HLCalendarTableCell")) {
        HLPickerListController::tableViewDidSelectRow(index);
        return;
    }
    toggleCalendar(row->identifier());
    auto edited = profile();
    // With the last calendar unticked every calendar applies again, and every row shows it.
    if (edited && !edited->hasCalendarIdentifiers())
        reloadSpecifiers();
    else
        reloadSpecifier(row);
    saveProfile();
}

void HushlineCalendarsController::toggleCalendar(const std::string& identifier)
{
    auto edited = profile();
    if (!edited)
        return;
    auto chosen = edited->calendarIdentifiers();
    auto found = std::find(chosen.begin(), chosen.end(), identifier);
    if (found != chosen.end())
        chosen.erase(found);
    else
        chosen.push_back(identifier);
    // No calendar chosen means every calendar, as the editor's Calendars footer tells the user:
    // the list is left unset, so that it holds every writable calendar when it is next read.
    if (chosen.empty())
        edited->setCalendarIdentifiers(std::nullopt);
    else
        edited->setCalendarIdentifiers(std::move(chosen));
}

PlistValue HushlineCalendarsController::readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier)
{
    auto edited = profile();
    auto value = edited ? edited->valueForKey(specifier->identifier()) : PlistValue();
    return value.isNone() ? specifier->propertyForKey("default") : value;
}

void HushlineCalendarsController::setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier)
{
    auto edited = profile();
    if (!edited || !edited->setValueForKey(value, specifier->identifier()))
        return;
    saveProfile();
}

void HushlineCalendarsController::profileAppliedStateChanged(const NSNotification&)
{
    hl_refetchPickerProfile(*this, true);
    reloadSpecifiers();
}
