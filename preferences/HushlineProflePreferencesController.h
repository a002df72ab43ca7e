#pragma once

#include "platform/libvelloq/VQMiscSettingsViewController.h"

#include <memory>

class HLProfile;

// The screen of one profile. For now it edits the title only: an existing profile is stored
// after every change, a new one (presented modally by the root list) when the user saves it.
class HushlineProflePreferencesController : public VQMiscSettingsViewController {
public:
    void setSpecifier(std::shared_ptr<PSSpecifier> specifier) override;
    const Specifiers& specifiers() override;
    void viewDidLoad() override;

    PlistValue readPreferenceValue(const std::shared_ptr<PSSpecifier>&) override;
    void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>&) override;

    // Stores a new profile and closes the modal screen; a refusal of the store is shown.
    void saveProfile();
    void cancelProfile();

    bool hasCustomNavigationBarColor() override { return true; }
    std::shared_ptr<UIColor> customNavigationBarColor() override;
    std::string twitterMessage() override;
    std::shared_ptr<UIImage> twitterImage() override;
    std::shared_ptr<PSSpecifier> copyRightSpecifier() override;
    std::string copryRightSpecifierText(long year) override;

    const std::shared_ptr<HLProfile>& profile() const { return m_profile; }

private:
    std::shared_ptr<HLProfile> m_profile;
};
