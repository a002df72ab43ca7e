#include "preferences/HushlineProflePreferencesController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/libvelloq/PSViewController+Velloq.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIColor.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLEditorNotifications.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLTitleRule.h"
#include "preferences/HLVersionFooter.h"
#include "preferences/PSViewController+Hushline_Addons.h"


namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineProflePreferencesController>(
    "HushlineProflePreferencesController", {}, [] { return std::make_shared<HushlineProflePreferencesController>(); });

// The tone's name: the part of its identifier after the last ":" ("texttone:Calendar Alert").
std::string toneName(const std::optional<std::string>& identifier)
{
    if (!identifier)
        return HLLocalizedString("None");
    auto colon = identifier->rfind(':');
    return HLLocalizedString(colon == std::string::npos ? *identifier : identifier->substr(colon + 1));
}

}

HushlineProflePreferencesController::~HushlineProflePreferencesController()
{
    NSNotificationCenter::defaultCenter().removeObserver(this);
}

void HushlineProflePreferencesController::setSpecifier(std::shared_ptr<PSSpecifier> specifier)
{
    VQMiscSettingsViewController::setSpecifier(specifier);
    m_profile = specifier ? specifier->userInfo().asObject<HLProfile>() : nullptr;
    setTitle(m_profile ? m_profile->title() : std::nullopt);
}

const PSListController::Specifiers& HushlineProflePreferencesController::specifiers()
{
    if (!m_specifiers.empty() || !specifier())
        return m_specifiers;
    m_profile = specifier()->userInfo().asObject<HLProfile>();
    if (!m_profile)
        return m_specifiers;
    m_specifiers.push_back(PSSpecifier::emptyGroupSpecifier());
    const auto& rows = profilesSpecifiers();
    m_specifiers.insert(m_specifiers.end(), rows.begin(), rows.end());
    return m_specifiers;
}

void HushlineProflePreferencesController::reloadSpecifiers()
{
    m_profilesSpecifiers.reset();
    VQMiscSettingsViewController::reloadSpecifiers();
    if (!m_profile || !m_profile->isEnabled() || !m_profile->isPlayAlert())
        return;
    long ringAlert = vq__indexByIdentifier(m_specifiers, "playAlert");
    auto next = ringAlert >= 0 ? specifierAtIndex(static_cast<size_t>(ringAlert) + 1) : nullptr;
    if (!next || next->identifier() != "alertToneIdentifier")
        alertToneChange(false);
}

void HushlineProflePreferencesController::viewDidLoad()
{
    VQMiscSettingsViewController::viewDidLoad();
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    auto& center = NSNotificationCenter::defaultCenter();
    center.addObserver(this, kHLProfileDataUpdateNotification, nullptr, [weakSelf](const NSNotification& notification) {
        if (auto self = weakSelf.lock())
            self->profileUpdated(notification);
    });
    center.addObserver(this, kHLProfileAppliedStateChangedNotification, nullptr, [weakSelf](const NSNotification& notification) {
        if (auto self = weakSelf.lock())
            self->profileAppliedStateChanged(notification);
    });
    if (!m_profile || !m_profile->isNewProfile())
        return;
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Cancel, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->dismissVieControllerAction();
    }));
    navigationItem().setRightBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Save, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->addProfileAction();
    }));
}

std::shared_ptr<PSTableCell> HushlineProflePreferencesController::tableViewCellForRow(size_t index)
{
    auto cell = VQMiscSettingsViewController::tableViewCellForRow(index);
    auto specifier = specifierAtIndex(index);
    if (cell && specifier && specifier->identifier() == "alertToneIdentifier" && m_profile) {
        cell->detailTextLabel().text = toneName(m_profile->alertToneIdentifier());
        // Light grey, as the system's lightGrayColor.
        cell->detailTextLabel().textColor = UIColor::colorWithWhite(2.0 / 3.0, 1);
    }
    return cell;
}

PlistValue HushlineProflePreferencesController::readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier)
{
    return m_profile ? m_profile->valueForKey(specifier->identifier()) : PlistValue();
}

void HushlineProflePreferencesController::setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier)
{
    if (!m_profile)
        return;
    const std::string key = specifier->identifier();
    // A stored profile keeps its title when the new one is refused; the screen shows it again.
    if (key == "title" && !m_profile->isNewProfile()) {
        if (auto refusal = hl_titleRefusal(value.asString() ? std::optional<std::string>(*value.asString()) : std::nullopt,
                m_profile->identifier(), HLTitleChange::Rename)) {
            hl_showError(*this, *refusal);
            reloadSpecifiers();
            return;
        }
    }
    PlistValue before = m_profile->valueForKey(key);
    if (!m_profile->setValueForKey(value, key))
        return;
    if (key == "title")
        setTitle(m_profile->title());
    saveProfile([this, key, before] {
        // The write failed: the record and the screen go back to what the file still holds.
        m_profile->setValueForKey(before, key);
        if (key == "title")
            setTitle(m_profile->title());
    });
    sectionChangesAfterSetting(key);
}

void HushlineProflePreferencesController::setAllDayModeEnabled(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier)
{
    setPreferenceValue(value, specifier);
    activeTimeChange();
}

void HushlineProflePreferencesController::saveProfile()
{
    saveProfile(nullptr);
}

void HushlineProflePreferencesController::saveProfile(std::function<void()> undo)
{
    if (!m_profile || m_profile->isNewProfile())
        return;
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(m_profile, nullptr, [weakSelf, undo](const NSError& error) {
        auto self = weakSelf.lock();
        if (!self)
            return;
        if (undo) {
            undo();
            self->reloadSpecifiers();
        }
        hl_showError(*self, error);
    });
}

bool HushlineProflePreferencesController::refuseEmptyTitle()
{
    auto refusal = hl_titleRefusal(m_profile->title(), m_profile->identifier(), HLTitleChange::Add);
    if (!refusal)
        return false;
    hl_showError(*this, *refusal);
    return true;
}

void HushlineProflePreferencesController::addProfileAction()
{
    if (!m_profile || refuseEmptyTitle())
        return;
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    auto profile = m_profile;
    // The record is stored as it will be read back: no longer new.
    profile->setNewProfile(false);
    HLProfilesManager::sharedManager().addProfile(profile, [weakSelf] {
        auto self = weakSelf.lock();
        if (!self)
            return;
        self->navigationItem().setRightBarButtonItem(nullptr);
        self->dismissViewControllerAnimated(true);
    }, [weakSelf, profile](const NSError& error) {
        profile->setNewProfile(true);
        if (auto self = weakSelf.lock())
            hl_showError(*self, error);
    });
}

void HushlineProflePreferencesController::dismissVieControllerAction()
{
    dismissViewControllerAnimated(true);
}

void HushlineProflePreferencesController::profileUpdated(const NSNotification&)
{
    saveProfile();
    refreshFromStore();
}

void HushlineProflePreferencesController::profileAppliedStateChanged(const NSNotification&)
{
    refreshFromStore();
}

void HushlineProflePreferencesController::refreshFromStore()
{
    if (!m_profile)
        return;
    // A new profile is not stored yet: the record with its identifier, if any, is another one.
    if (m_profile->isNewProfile()) {
        reloadSpecifiers();
        return;
    }
    if (auto stored = HLProfilesManager::sharedManager().profileByIdentifier(m_profile->identifier(), false)) {
        m_profile = stored;
        if (specifier())
            specifier()->setUserInfo(PlistValue(stored));
    }
    reloadSpecifiers();
}

