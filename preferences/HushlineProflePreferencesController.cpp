#include "preferences/HushlineProflePreferencesController.h"

#include "core/profile/HLProfile.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/libvelloq/PSViewController+Velloq.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLVersionFooter.h"
#include "preferences/PSViewController+Hushline_Addons.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<HushlineProflePreferencesController>(
    "HushlineProflePreferencesController", {}, [] { return std::make_shared<HushlineProflePreferencesController>(); });

}

void HushlineProflePreferencesController::setSpecifier(std::shared_ptr<PSSpecifier> specifier)
{
    VQMiscSettingsViewController::setSpecifier(specifier);
    m_profile = specifier ? specifier->userInfo().asObject<HLProfile>() : nullptr;
    setTitle(m_profile ? m_profile->title() : std::nullopt);
}

const PSListController::Specifiers& HushlineProflePreferencesController::specifiers()
{
    if (!m_specifiers.empty() || !m_profile)
        return m_specifiers;
    auto title = PSSpecifier::preferenceSpecifierNamed(HLLocalizedString("Title"), nullptr, nullptr, {}, PSCellType::EditText);
    title->setIdentifier("title");
    title->setProperty("HLEditableTableCell", "cellClass");
    title->setProperty(m_profile->title().value_or(""), "value");
    title->setProperty(HLLocalizedString("Required"), "placeholder");
    title->setProperty("words", "autoCaps");
    title->setProperty(false, "noAutoCorrect");
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    title->setGetter([weakSelf](const auto& specifier) {
        auto self = weakSelf.lock();
        return self ? self->readPreferenceValue(specifier) : PlistValue();
    });
    title->setSetter([weakSelf](const PlistValue& value, const auto& specifier) {
        if (auto self = weakSelf.lock())
            self->setPreferenceValue(value, specifier);
    });
    auto footer = PSSpecifier::emptyGroupSpecifier();
    footer->setIdentifier("CopyRightHeader");
    m_specifiers = { PSSpecifier::emptyGroupSpecifier(), title, footer };
    return m_specifiers;
}

void HushlineProflePreferencesController::viewDidLoad()
{
    VQMiscSettingsViewController::viewDidLoad();
    if (!m_profile || !m_profile->isNewProfile())
        return;
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Cancel, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->cancelProfile();
    }));
    navigationItem().setRightBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Save, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->saveProfile();
    }));
}

PlistValue HushlineProflePreferencesController::readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier)
{
    return m_profile ? m_profile->valueForKey(specifier->identifier()) : PlistValue();
}

void HushlineProflePreferencesController::setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier)
{
    if (!m_profile || !m_profile->setValueForKey(value, specifier->identifier()))
        return;
    if (specifier->identifier() == "title")
        setTitle(m_profile->title());
    if (m_profile->isNewProfile())
        return;
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    HLProfilesManager::sharedManager().updateProfile(m_profile, nullptr, [weakSelf](const NSError& error) {
        if (auto self = weakSelf.lock())
            hl_showError(*self, error);
    });
}

void HushlineProflePreferencesController::saveProfile()
{
    if (!m_profile)
        return;
    std::weak_ptr<HushlineProflePreferencesController> weakSelf = std::static_pointer_cast<HushlineProflePreferencesController>(shared_from_this());
    auto profile = m_profile;
    profile->setNewProfile(false);
    HLProfilesManager::sharedManager().addProfile(profile, [weakSelf] {
        if (auto self = weakSelf.lock())
            self->dismissViewControllerAnimated(true);
    }, [weakSelf, profile](const NSError& error) {
        profile->setNewProfile(true);
        if (auto self = weakSelf.lock())
            hl_showError(*self, error);
    });
}

void HushlineProflePreferencesController::cancelProfile()
{
    dismissViewControllerAnimated(true);
}

std::shared_ptr<UIColor> HushlineProflePreferencesController::customNavigationBarColor()
{
    return hl_navigationColor();
}

std::string HushlineProflePreferencesController::twitterMessage()
{
    return hl_shareMessage();
}

std::shared_ptr<UIImage> HushlineProflePreferencesController::twitterImage()
{
    return hl_bundleImage("twitter");
}

std::shared_ptr<PSSpecifier> HushlineProflePreferencesController::copyRightSpecifier()
{
    return vq__specifierByIdentifier(m_specifiers, "CopyRightHeader");
}

std::string HushlineProflePreferencesController::copryRightSpecifierText(long year)
{
    return hl_versionFooter(year);
}
