#pragma once

#include "platform/libvelloq/VQMiscSettingsViewController.h"

// A screen of the plug-in on libvelloq's list screen: its bar in the plug-in's navigation colour
// while shown, and the share button with the product's text and the bundle's image.
class HLVelloqListController : public VQMiscSettingsViewController {
public:
    bool hasCustomNavigationBarColor() override { return true; }
    std::shared_ptr<UIColor> customNavigationBarColor() override;
    std::string twitterMessage() override;
    std::shared_ptr<UIImage> twitterImage() override;
};
