#include "platform/libvelloq/VQMiscSettingsViewController.h"

#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSDate.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationController.h"

void VQMiscSettingsViewController::viewDidLoad()
{
    PSListController::viewDidLoad();
    auto image = twitterImage();
    if (image && !navigationItem().rightBarButtonItem()) {
        std::weak_ptr<VQMiscSettingsViewController> weakSelf = std::static_pointer_cast<VQMiscSettingsViewController>(shared_from_this());
        navigationItem().setRightBarButtonItem(UIBarButtonItem::initWithImage(image, UIBarButtonItemStyle::Plain, [weakSelf](const auto&) {
            if (auto self = weakSelf.lock())
                self->shareTapped();
        }));
    }
    applyCopyRightFooter();
}

void VQMiscSettingsViewController::viewWillAppear(bool animated)
{
    PSListController::viewWillAppear(animated);
    auto navigation = navigationController();
    if (!navigation || !hasCustomNavigationBarColor())
        return;
    m_savedBarTintColor = navigation->navigationBar().barTintColor;
    navigation->navigationBar().barTintColor = customNavigationBarColor();
    m_tinted = true;
}

void VQMiscSettingsViewController::viewWillDisappear(bool animated)
{
    if (auto navigation = navigationController(); navigation && m_tinted)
        navigation->navigationBar().barTintColor = m_savedBarTintColor;
    m_tinted = false;
    PSListController::viewWillDisappear(animated);
}

void VQMiscSettingsViewController::reloadSpecifiers()
{
    PSListController::reloadSpecifiers();
    applyCopyRightFooter();
}

void VQMiscSettingsViewController::applyCopyRightFooter()
{
    specifiers();
    auto group = copyRightSpecifier();
    if (!group)
        return;
    long year = NSCalendar::currentCalendar().components(NSDate::date()).year.value_or(1970);
    group->setProperty(copryRightSpecifierText(year), "footerText");
}

void VQMiscSettingsViewController::shareTapped()
{
    auto composer = SLComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter);
    if (!composer)
        return;
    composer->setInitialText(twitterMessage());
    composer->addImage(twitterImage());
    presentViewController(composer, true);
}
