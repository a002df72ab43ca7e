#include "preferences/HushlinePreferencesController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/PropertyList.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/PSViewController+Hushline_Addons.h"

#include <cstdio>
#include <filesystem>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlinePreferencesController>(
    "HushlinePreferencesController", {}, [] { return std::make_shared<HushlinePreferencesController>(); });

constexpr size_t kFirstProfileRow = 2;

std::string format(const std::string& pattern, const std::string& argument)
{
    std::string text = pattern;
    auto at = text.find("%@");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

}

HushlinePreferencesController::~HushlinePreferencesController()
{
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

void HushlinePreferencesController::initForContentSize()
{
    HushlineBaseEditableSettingsController::initForContentSize();
    auto file = PropertyList::read(DeviceRoot::resolve(settingsFilePath()));
    if (file && file->isDictionary())
        m_settings = *file->asDictionary();
    else
        m_settings.reset();
}

std::string HushlinePreferencesController::settingsFilePath()
{
    return (std::filesystem::path("/var/mobile") / "Library/Preferences" / "com.velloq.hushline.plist").string();
}

const PSListController::Specifiers& HushlinePreferencesController::specifiers()
{
    if (!m_specifiers.empty())
        return m_specifiers;
    m_year = NSCalendar::currentCalendar().components(NSDate::date()).year.value_or(1970);

    auto header = PSSpecifier::emptyGroupSpecifier();
    header->setProperty("HLPackageHeaderCell", "headerCellClass");
    header->setProperty(HLLocalizedString("HushlineMe"), "title");
    header->setProperty(HLLocalizedString("Silence your iDevice without noice!!"), "subTitle");
    m_specifiers.push_back(header);

    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    auto enabled = PSSpecifier::preferenceSpecifierNamed(
        HLLocalizedString("Enabled"),
        [weakSelf](const PlistValue& value, const auto& specifier) {
            if (auto self = weakSelf.lock())
                self->setPreferenceValue(value, specifier);
        },
        [weakSelf](const auto& specifier) {
            auto self = weakSelf.lock();
            return self ? self->preferenceValue(specifier) : PlistValue();
        },
        {}, PSCellType::Switch);
    enabled->setProperty("HLSwitchCell", "cellClass");
    enabled->setIdentifier(kHLEnabledKey);
    m_specifiers.push_back(enabled);

    if (m_settings && (*m_settings)[kHLEnabledKey].boolValue()) {
        auto groups = profileGroups();
        m_specifiers.insert(m_specifiers.end(), groups.begin(), groups.end());
    }
    const auto& about = aboutSpecifiers();
    m_specifiers.insert(m_specifiers.end(), about.begin(), about.end());
    return m_specifiers;
}

PSListController::Specifiers HushlinePreferencesController::profileGroups()
{
    Specifiers groups { PSSpecifier::groupSpecifierWithName(HLLocalizedString("Active Profiles")) };
    const auto& active = enabledProfilesSpecifiers();
    groups.insert(groups.end(), active.begin(), active.end());
    groups.push_back(PSSpecifier::groupSpecifierWithName(HLLocalizedString("Inactive Profiles")));
    const auto& inactive = disabledProfilesSpecifiers();
    groups.insert(groups.end(), inactive.begin(), inactive.end());
    return groups;
}

PlistValue HushlinePreferencesController::preferenceValue(const std::shared_ptr<PSSpecifier>& specifier) const
{
    if (!m_settings)
        return {};
    auto it = m_settings->find(specifier->identifier());
    return it == m_settings->end() ? PlistValue() : it->second;
}

void HushlinePreferencesController::setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier)
{
    // Without a settings file nothing is kept: the home-screen plug-in creates the file at start.
    // The screen goes on showing what is stored.
    if (!m_settings) {
        reloadSpecifiers();
        return;
    }
    auto before = m_settings->find(specifier->identifier());
    std::optional<PlistValue> stored = before == m_settings->end() ? std::nullopt : std::optional<PlistValue>(before->second);
    (*m_settings)[specifier->identifier()] = value;
    if (!writeSettings()) {
        // The file still holds the old value, and so do the settings and the screen.
        if (stored)
            (*m_settings)[specifier->identifier()] = *stored;
        else
            m_settings->erase(specifier->identifier());
        reloadSpecifiers();
        return;
    }
    if (specifier->identifier() == kHLEnabledKey) {
        if (value.boolValue()) {
            insertContiguousSpecifiers(profileGroups(), kFirstProfileRow, true);
        } else {
            // Everything between the switch and the closing group (Miscellaneous, Today) is a
            // profile group row.
            long last = static_cast<long>(m_specifiers.size()) - static_cast<long>(aboutSpecifiers().size()) - 1;
            for (long row = last; row >= static_cast<long>(kFirstProfileRow); --row)
                removeSpecifierAtIndex(static_cast<size_t>(row), true);
        }
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kHLEnabledOrDisabledNotification, nullptr, nullptr, true);
    }
    reloadSpecifiers();
}

bool HushlinePreferencesController::writeSettings()
{
    if (!m_settings)
        return false;
    auto bytes = PropertyList::serialize(PlistValue(*m_settings), PropertyList::Format::Binary);
    if (!bytes)
        return false;
    std::string why;
    // Replaced atomically: a crash during the write leaves the old master switch, never half a file.
    if (writeFileAtomically(DeviceRoot::resolve(settingsFilePath()), *bytes, &why))
        return true;
    NSLog("com.velloq.Tessel: Error => Unable to save settings to %s and settings: %s", settingsFilePath().c_str(),
        PlistValue(*m_settings).description().c_str());
    NSError error { NSBundle::mainBundle()->bundleIdentifier(), 1, {} };
    error.userInfo[NSLocalizedDescriptionKey] = HLLocalizedString("Unable to save settings.");
    error.userInfo[NSLocalizedFailureReasonErrorKey] = why;
    hl_showError(*this, error);
    return false;
}

std::shared_ptr<PSSpecifier> HushlinePreferencesController::profileSpecifier(const std::shared_ptr<HLProfile>& profile) const
{
    auto row = PSSpecifier::preferenceSpecifierNamed(profile->title(), nullptr, nullptr, "HushlineProflePreferencesController", PSCellType::Link);
    row->setIdentifier("title");
    row->setUserInfo(profile);
    return row;
}

PSListController::Specifiers HushlinePreferencesController::specifiersFromProfiles(const std::vector<std::shared_ptr<HLProfile>>& profiles) const
{
    Specifiers rows;
    for (const auto& profile : profiles)
        rows.push_back(profileSpecifier(profile));
    if (rows.empty())
        rows.push_back(PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("No Profiles"), nullptr, nullptr, {}, PSCellType::StaticText));
    return rows;
}

const PSListController::Specifiers& HushlinePreferencesController::enabledProfilesSpecifiers()
{
    if (!m_enabledProfilesSpecifiers)
        m_enabledProfilesSpecifiers = specifiersFromProfiles(HLProfilesManager::sharedManager().enabledProfiles());
    return *m_enabledProfilesSpecifiers;
}

const PSListController::Specifiers& HushlinePreferencesController::disabledProfilesSpecifiers()
{
    if (!m_disabledProfilesSpecifiers)
        m_disabledProfilesSpecifiers = specifiersFromProfiles(HLProfilesManager::sharedManager().disabledProfiles());
    return *m_disabledProfilesSpecifiers;
}

const PSListController::Specifiers& HushlinePreferencesController::aboutSpecifiers()
{
    if (!m_aboutSpecifiers) {
        auto misc = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("Miscellaneous"), nullptr, nullptr, "HushlineMiscController", PSCellType::Link);
        misc->setIdentifier("Miscellaneous");
        misc->setProperty(hl_bundleImage("Misc"), "iconImage");
        // What each profile does for the rest of the day; the Settings app provides the screen.
        auto today = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("Today"), nullptr, nullptr, "HushlineTodayController", PSCellType::Link);
        today->setIdentifier("Today");
        today->setProperty(hl_bundleImage("Today"), "iconImage");
        m_aboutSpecifiers = Specifiers { PSSpecifier::emptyGroupSpecifier(), misc, today };
    }
    return *m_aboutSpecifiers;
}

std::shared_ptr<PSTableCell> HushlinePreferencesController::tableViewCellForRow(size_t index)
{
    auto cell = HushlineBaseEditableSettingsController::tableViewCellForRow(index);
    auto specifier = specifierAtIndex(index);
    auto profile = specifier ? specifier->userInfo().asObject<HLProfile>() : nullptr;
    if (!cell || !profile)
        return cell;
    cell->detailTextLabel().textColor = hl_navigationColor();
    if (profile->isAllDay())
        cell->detailTextLabel().text = HLLocalizedString("All Day");
    else
        cell->detailTextLabel().text = profile->startTime().value_or("") + " - " + profile->endTime().value_or("");
    return cell;
}

UITableViewCellEditingStyle HushlinePreferencesController::tableViewEditingStyleForRow(size_t index)
{
    auto specifier = specifierAtIndex(index);
    return specifier && specifier->userInfo().asObject<HLProfile>() ? UITableViewCellEditingStyle::Delete : UITableViewCellEditingStyle::None;
}

void HushlinePreferencesController::tableViewCommitEditingStyle(UITableViewCellEditingStyle style, size_t index)
{
    auto row = specifierAtIndex(index);
    auto profile = row ? row->userInfo().asObject<HLProfile>() : nullptr;
    if (style != UITableViewCellEditingStyle::Delete || !profile)
        return;
    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    auto sheet = UIAlertController::alertControllerWithTitle(std::nullopt,
        format(HLLocalizedString("Are you sure you want to delete the profile '%@'?"), profile->title().value_or("")),
        UIAlertControllerStyle::ActionSheet);
    sheet->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Delete"), UIAlertActionStyle::Destructive, [weakSelf, row, profile](const auto&) {
        if (auto self = weakSelf.lock())
            self->deleteProfileConfirmed(row, profile);
    }));
    sheet->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Cancel"), UIAlertActionStyle::Cancel, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->setEditing(false);
    }));
    presentViewController(sheet, true);
}

void HushlinePreferencesController::deleteProfileConfirmed(const std::shared_ptr<PSSpecifier>& row, const std::shared_ptr<HLProfile>& profile)
{
    long index = indexOfSpecifier(row);
    if (index >= 0)
        HushlineBaseEditableSettingsController::tableViewCommitEditingStyle(UITableViewCellEditingStyle::Delete, static_cast<size_t>(index));
    // The store has no locks and the main thread reads and reloads its list at any time, so its
    // delete runs on the main queue, after this tap has been handled, never beside it.
    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [weakSelf, profile] {
        HLProfilesManager::sharedManager().deleteProfile(profile, nullptr, [weakSelf](const NSError& error) {
            if (auto self = weakSelf.lock())
                hl_showError(*self, error);
        });
    });
}

std::shared_ptr<UIBarButtonItem> HushlinePreferencesController::editButtonBarItem()
{
    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Add, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->addProfileAction();
    });
}

void HushlinePreferencesController::addProfileAction()
{
    auto profile = HLProfile::defaultProfile();
    profile->setNewProfile(true);
    auto row = profileSpecifier(profile);
    auto editorClass = NSClassFromString("HushlineProflePreferencesController");
    auto editor = editorClass ? std::dynamic_pointer_cast<PSListController>(editorClass->alloc()) : nullptr;
    if (!editor)
        return;
    auto self = std::static_pointer_cast<PSViewController>(shared_from_this());
    editor->setRootController(self);
    editor->setParentController(self);
    editor->setSpecifier(row);
    editor->initForContentSize();
    presentViewController(UINavigationController::initWithRootViewController(editor), true);
}

void HushlinePreferencesController::viewDidLoad()
{
    HushlineBaseEditableSettingsController::viewDidLoad();
    auto& center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    for (const char* name : { kHLProfileAddedNotification, kHLProfileChangedNotification, kHLProfileDeletedNotification })
        center.addObserver(this, name, nullptr, [weakSelf](const NSNotification& notification) {
            if (auto self = weakSelf.lock())
                self->profilesUpdated(notification);
        });
    center.addObserver(this, kHLProfileAppliedStateChangedNotification, nullptr, [weakSelf](const NSNotification& notification) {
        if (auto self = weakSelf.lock())
            self->profileAppliedStateChanged(notification);
    });
}

void HushlinePreferencesController::viewWillAppear(bool animated)
{
    HushlineBaseEditableSettingsController::viewWillAppear(animated);
    if (!navigationItem().rightBarButtonItem())
        return;
    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    auto share = UIBarButtonItem::initWithImage(hl_bundleImage("twitter"), UIBarButtonItemStyle::Plain, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->__tesselTwitterAction();
    });
    navigationItem().setRightBarButtonItems({ editButtonBarItem(), share }, true);
}

void HushlinePreferencesController::profilesUpdated(const NSNotification&)
{
    reloadFromStore();
}

void HushlinePreferencesController::profileAppliedStateChanged(const NSNotification&)
{
    reloadFromStore();
}

void HushlinePreferencesController::reloadFromStore()
{
    HLProfilesManager::sharedManager().reloadProfiles();
    m_enabledProfilesSpecifiers.reset();
    m_disabledProfilesSpecifiers.reset();
    std::weak_ptr<HushlinePreferencesController> weakSelf = std::static_pointer_cast<HushlinePreferencesController>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [weakSelf] {
        if (auto self = weakSelf.lock())
            self->reloadSpecifiers();
    });
}
