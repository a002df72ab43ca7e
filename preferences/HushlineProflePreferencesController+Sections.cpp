// The rows of the profile editor, section by section, and the section changes that follow a
// changed switch.
#include "preferences/HushlineProflePreferencesController.h"

#include "core/profile/HLProfile.h"
#include "core/schedule/HLEventManager.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/UIDevice.h"
#include "platform/libvelloq/PSViewController+Velloq.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIImage.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLPickerUserInfo.h"

#include <algorithm>
#include <dlfcn.h>

namespace {

constexpr const char* kLibStatusbarPath = "/Library/MobileSubstrate/DynamicLibraries/libstatusbar.dylib";
constexpr const char* kSpeakerImageFormat = "/System/Library/PrivateFrameworks/PreferencesUI.framework/%@";

std::shared_ptr<PSSpecifier> group(const std::optional<std::string>& name, const std::string& footer = {})
{
    auto specifier = name ? PSSpecifier::groupSpecifierWithName(HLLocalizedString(*name)) : PSSpecifier::emptyGroupSpecifier();
    if (!footer.empty())
        specifier->setProperty(HLLocalizedString(footer), "footerText");
    return specifier;
}

// The speaker image at the screen's scale.
std::shared_ptr<UIImage> speakerImage(const std::string& name)
{
    std::string file = name + (UIScreen::mainScreen()->scale() > 2.0 ? "@3x.png" : "@2x.png");
    const std::string format = kSpeakerImageFormat;
    auto at = format.find("%@");
    if (at == std::string::npos)
        return nullptr;
    return UIImage::imageWithContentsOfFile(format.substr(0, at) + file + format.substr(at + 2));
}

bool statusBarLibraryLoads()
{
    return dlopen(DeviceRoot::resolve(kLibStatusbarPath).c_str(), RTLD_NOW) != nullptr;
}

void append(PSListController::Specifiers& list, const PSListController::Specifiers& more)
{
    list.insert(list.end(), more.begin(), more.end());
}

}

std::shared_ptr<PSSpecifier> HushlineProflePreferencesController::valueRow(const std::string& label, const std::string& identifier,
    PSCellType cell, const std::string& cellClass, std::string detail)
{
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    auto row = PSSpecifier::preferenceSpecifierNamed(
        HLLocalizedString(label),
        [weakSelf](const PlistValue& value, const auto& specifier) {
            if (auto self = weakSelf.lock())
                self->setPreferenceValue(value, specifier);
        },
        [weakSelf](const auto& specifier) {
            auto self = weakSelf.lock();
            return self ? self->readPreferenceValue(specifier) : PlistValue();
        },
        std::move(detail), cell);
    row->setIdentifier(identifier);
    if (!cellClass.empty())
        row->setProperty(cellClass, "cellClass");
    return row;
}

std::shared_ptr<PSSpecifier> HushlineProflePreferencesController::switchRow(const std::string& label, const std::string& identifier, bool defaultValue)
{
    auto row = valueRow(label, identifier, PSCellType::Switch, "HLSwitchCell");
    row->setProperty(defaultValue, "default");
    return row;
}

std::shared_ptr<PSSpecifier> HushlineProflePreferencesController::sliderRow(const std::string& label, const std::string& identifier)
{
    auto row = valueRow(label, identifier, PSCellType::Slider, "HLSliderCell");
    row->setProperty(int64_t { 0 }, "min");
    row->setProperty(int64_t { 1 }, "max");
    if (auto left = speakerImage("SpeakerMute"))
        row->setProperty(PlistValue(left), "leftImage");
    if (auto right = speakerImage("SpeakerMax"))
        row->setProperty(PlistValue(right), "rightImage");
    return row;
}

const PSListController::Specifiers& HushlineProflePreferencesController::profilesSpecifiers()
{
    if (m_profilesSpecifiers)
        return *m_profilesSpecifiers;
    Specifiers rows = titleSpecifiers();
    rows.push_back(PSSpecifier::emptyGroupSpecifier());
    rows.push_back(switchRow("Enable", "enabled", true));
    if (m_profile->isEnabled())
        append(rows, profileEnabledSpecifiers());
    m_profilesSpecifiers = std::move(rows);
    return *m_profilesSpecifiers;
}

PSListController::Specifiers HushlineProflePreferencesController::titleSpecifiers()
{
    auto title = valueRow("Title", "title", PSCellType::EditText, "HLEditableTableCell");
    title->setProperty(m_profile->title().value_or(""), "value");
    title->setProperty(HLLocalizedString("Required"), "placeholder");
    title->setProperty("words", "autoCaps");
    title->setProperty(false, "noAutoCorrect");
    return { title };
}

PSListController::Specifiers HushlineProflePreferencesController::profileEnabledSpecifiers()
{
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    auto allDay = switchRow("All Day", "allDay", true);
    allDay->setSetter([weakSelf](const PlistValue& value, const auto& specifier) {
        if (auto self = weakSelf.lock())
            self->setAllDayModeEnabled(value, specifier);
    });
    Specifiers rows { group("Schedule", "This profile will be active based on these settings."), allDay };
    append(rows, activeTimeSpecifiers());
    append(rows, ringerVolumeSpecifiers());
    append(rows, alertSpecifiers());
    rows.push_back(group(std::nullopt, "Turning on will enable Apple's 'Do not Disturb' option on your iDevice."));
    rows.push_back(switchRow("Do not Disturb", "dnDEnabled", false));
    append(rows, statusBarSpecifiers());
    append(rows, wifiAndCalendarSpecifiers());
    return rows;
}

PSListController::Specifiers HushlineProflePreferencesController::activeTimeSpecifiers()
{
    if (m_profile->isAllDay())
        return {};
    auto hours = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("Active Hours"), nullptr, nullptr, "HLDateRangeController", PSCellType::Link);
    hours->setProperty("HLDateRangeCell", "cellClass");
    hours->setProperty(int64_t { 64 }, "height");
    hours->setUserInfo(PlistValue(m_profile));
    return { hours };
}

PSListController::Specifiers HushlineProflePreferencesController::ringerVolumeSpecifiers()
{
    return { group("Ringer Volume & Vibrate"), sliderRow("Playback Volume", "playBackVolume"), sliderRow("Ringer Volume", "ringerVolume"),
        switchRow("Vibrate", "vibrate", true) };
}

PSListController::Specifiers HushlineProflePreferencesController::alertSpecifiers()
{
    Specifiers rows { group("Alerts", "Turn on to get notified before and after applying this profile to calendar events."),
        switchRow("Ring Alert", "playAlert", true) };
    if (m_profile->isPlayAlert()) {
        auto tone = valueRow("Alert Tone", "alertToneIdentifier", PSCellType::Link, {}, "HushlineAlertToneController");
        tone->setUserInfo(PlistValue(hl_pickerUserInfo(m_profile)));
        rows.push_back(tone);
    }
    rows.push_back(switchRow("Vibrate Alert", "vibrateAlert", true));
    rows.push_back(switchRow("Wake Up Screen", "wakeUpScreen", true));
    return rows;
}

PSListController::Specifiers HushlineProflePreferencesController::statusBarSpecifiers()
{
    if (!statusBarLibraryLoads())
        return {};
    auto icon = switchRow("Show on StatusBar", "showOnStatusBar", false);
    if (auto image = hl_bundleImage("StatusBar"))
        icon->setProperty(PlistValue(image), "iconImage");
    return { group(std::nullopt,
                 "Turning on will show HushlineMe's custom icon on your iDevice's statusbar. This will quickly let you know if there is a profile activated."),
        icon };
}

PSListController::Specifiers HushlineProflePreferencesController::wifiAndCalendarSpecifiers()
{
    auto wifi = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("WiFi Networks"), nullptr, nullptr, "HushlineWifiController", PSCellType::Link);
    wifi->setIdentifier("wifiNetworks");
    wifi->setUserInfo(PlistValue(hl_pickerUserInfo(m_profile)));

    auto calendar = valueRow("Calendar", "calendarIdentifiers", PSCellType::Link, {}, "HushlineCalendarsController");
    calendar->setUserInfo(PlistValue(hl_calendarPickerUserInfo(m_profile, HLEventManager::sharedManager().groupedCalendars())));
    return { group("WiFi Networks",
                 "Select WiFi network(s) on which you want to apply this profile automatically. HushlineMe ignores all the calendar events if this device is connected to these networks."),
        wifi,
        group("Calendars",
            "Select Calendars which you want to apply this profile.\n\nNote: If you do not select any calendar, by default this profile applies to all events on your Calendar."),
        calendar };
}

void HushlineProflePreferencesController::sectionChangesAfterSetting(const std::string& identifier)
{
    if (identifier == "enabled")
        enabledChange();
    else if (identifier == "playAlert")
        alertToneChange(true);
}

// Each change brings the rows to what the profile's switches say, whatever the screen shows
// now: setting a switch to the value it has already changes no row.
void HushlineProflePreferencesController::enabledChange()
{
    bool shown = specifiers().size() > kEnabledSectionIndex;
    if (m_profile->isEnabled()) {
        if (!shown)
            insertContiguousSpecifiers(profileEnabledSpecifiers(), kEnabledSectionIndex, true);
        return;
    }
    if (!shown)
        return;
    // From the last row up to the first of the section, in one change of the screen.
    const auto& list = specifiers();
    Specifiers rows(list.rbegin(), list.rend() - static_cast<long>(std::min(kEnabledSectionIndex, list.size())));
    removeContiguousSpecifiers(rows, true);
}

void HushlineProflePreferencesController::alertToneChange(bool animated)
{
    if (m_profile->isEnabled() && m_profile->isPlayAlert()) {
        long ringAlert = vq__indexByIdentifier(specifiers(), "playAlert");
        auto tone = vq__specifierByIdentifier(alertSpecifiers(), "alertToneIdentifier");
        if (vq__indexByIdentifier(specifiers(), "alertToneIdentifier") >= 0)
            return;
        if (ringAlert >= 0 && tone)
            insertSpecifier(tone, static_cast<size_t>(ringAlert) + 1, animated);
        return;
    }
    if (auto tone = vq__specifierByIdentifier(specifiers(), "alertToneIdentifier"))
        removeSpecifier(tone, animated);
}

void HushlineProflePreferencesController::activeTimeChange()
{
    // The active-time section is the one "Active Hours" row.
    auto hours = specifierAtIndex(kActiveTimeIndex);
    bool shown = hours && hours->detailControllerClass() == "HLDateRangeController";
    if (!m_profile->isAllDay()) {
        if (!shown && m_profile->isEnabled())
            insertContiguousSpecifiers(activeTimeSpecifiers(), kActiveTimeIndex, true);
        return;
    }
    if (shown)
        removeSpecifierAtIndex(kActiveTimeIndex, true);
}
