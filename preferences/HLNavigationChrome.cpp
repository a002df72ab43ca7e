#include "preferences/HLNavigationChrome.h"

#include "core/HLUtils.h"
#include "platform/foundation/NSBundle.h"
#include "platform/libvelloq/PSViewController+Velloq.h"
#include "platform/preferences/PSViewController.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UINavigationController.h"
#include "preferences/HLBundleImages.h"
#include "preferences/HLLocalizedString.h"
#include "preferences/HLVersionFooter.h"

namespace {

constexpr const char* kFollowAppURL = "twitter://user?screen_name=velloq";
constexpr const char* kFollowWebURL = "https://twitter.com/velloq";

std::shared_ptr<UINavigationController> outermostNavigation(UIViewController& controller)
{
    if (auto settings = dynamic_cast<PSViewController*>(&controller))
        return __vqRealNavigationController(*settings);
    return controller.navigationController();
}

}

void HLNavigationChrome::viewDidLoad(UIViewController& controller, const std::optional<std::string>& titleLabel)
{
    std::weak_ptr<UIViewController> weak = std::static_pointer_cast<UIViewController>(controller.shared_from_this());
    controller.navigationItem().setRightBarButtonItem(
        UIBarButtonItem::initWithImage(hl_bundleImage("twitter"), UIBarButtonItemStyle::Plain, [weak](const auto&) {
            if (auto self = weak.lock())
                hl_tesselTwitterAction(*self);
        }));
    UITitleView title;
    if (titleLabel) {
        title.labelText = *titleLabel;
        title.fontSize = 20;
        title.textColor = UIColor::whiteColor();
        title.backgroundColor = UIColor::clearColor();
        title.shadowColor = UIColor::colorWithWhite(0, 0.5);
        title.centered = true;
    } else {
        title.image = hl_bundleImage("Hushline");
        title.alpha = 0;
        title.fadeDuration = 1.0;
    }
    controller.navigationItem().titleView = title;
    if (HLUtils::isIOS11())
        controller.navigationItem().backButtonImage = hl_bundleImage("Hushline");
}

void HLNavigationChrome::viewWillAppear(UIViewController& controller)
{
    auto application = UIApplication::sharedApplication();
    auto navigation = outermostNavigation(controller);
    m_prevStatusBarStyle = application->statusBarStyle();
    if (navigation) {
        m_prevTintColor = navigation->navigationBar().tintColor;
        m_prevBarTintColor = navigation->navigationBar().barTintColor;
        navigation->navigationBar().tintColor = UIColor::whiteColor();
        navigation->navigationBar().barTintColor = hl_navigationColor();
    }
    application->setStatusBarStyle(1);
    m_saved = true;
}

void HLNavigationChrome::viewWillDisappear(UIViewController& controller)
{
    if (!m_saved)
        return;
    UIApplication::sharedApplication()->setStatusBarStyle(m_prevStatusBarStyle);
    if (auto navigation = outermostNavigation(controller)) {
        navigation->navigationBar().tintColor = m_prevTintColor;
        navigation->navigationBar().barTintColor = m_prevBarTintColor;
    }
    m_saved = false;
}

void hl_tesselTwitterAction(UIViewController& controller)
{
    std::weak_ptr<UIViewController> weak = std::static_pointer_cast<UIViewController>(controller.shared_from_this());
    auto sheet = UIAlertController::alertControllerWithTitle(std::nullopt, std::nullopt, UIAlertControllerStyle::ActionSheet);
    sheet->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Share 😘"), UIAlertActionStyle::Default, [weak](const auto&) {
        if (auto self = weak.lock())
            hl_shareAction(*self);
    }));
    sheet->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Follow @velloq"), UIAlertActionStyle::Default,
        [](const auto&) { hl_followAction(); }));
    sheet->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Cancel"), UIAlertActionStyle::Cancel, nullptr));
    controller.presentViewController(sheet, true);
}

void hl_shareAction(UIViewController& controller)
{
    auto languages = NSLocalePreferredLanguages();
    bool chinese = !languages.empty() && languages.front() == "zh-Hans";
    auto composer = SLComposeViewController::composeViewControllerForServiceType(chinese ? SLServiceTypeSinaWeibo : SLServiceTypeTwitter);
    if (!composer)
        return;
    composer->setInitialText(hl_shareMessage());
    controller.presentViewController(composer, true);
}

void hl_followAction()
{
    auto application = UIApplication::sharedApplication();
    application->openURL(application->canOpenURL(kFollowAppURL) ? kFollowAppURL : kFollowWebURL);
}
