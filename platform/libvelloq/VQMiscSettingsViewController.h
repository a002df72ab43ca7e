#pragma once

#include "platform/preferences/PSListController.h"

#include <memory>
#include <optional>
#include <string>

class PSSpecifier;
class UIColor;
class UIImage;

// libvelloq's list screen for the maker's settings pages. A subclass builds its rows and answers
// the hooks below; the screen then tints its navigation bar while shown, offers a share button
// with the subclass's text and image, and writes the copyright footer under the subclass's
// copyright group.
class VQMiscSettingsViewController : public PSListController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void reloadSpecifiers() override;

    virtual bool hasCustomNavigationBarColor() { return false; }
    virtual std::shared_ptr<UIColor> customNavigationBarColor() { return nullptr; }
    virtual std::string twitterMessage() { return {}; }
    virtual std::shared_ptr<UIImage> twitterImage() { return nullptr; }
    virtual std::shared_ptr<PSSpecifier> copyRightSpecifier() { return nullptr; }
    virtual std::string copryRightSpecifierText(long year) { return {}; }

    // The share button's action: the system share composer with twitterMessage and twitterImage.
    void shareTapped();

protected:
    // Writes the footer into the copyright group after the list is built.
    void applyCopyRightFooter();

private:
    std::shared_ptr<UIColor> m_savedBarTintColor;
    bool m_tinted { false };
};
