#include "preferences/HLVelloqListController.h"

#include "preferences/HLBundleImages.h"
#include "preferences/HLVersionFooter.h"

std::shared_ptr<UIColor> HLVelloqListController::customNavigationBarColor()
{
    return hl_navigationColor();
}

std::string HLVelloqListController::twitterMessage()
{
    return hl_shareMessage();
}

std::shared_ptr<UIImage> HLVelloqListController::twitterImage()
{
    return hl_bundleImage("twitter");
}
