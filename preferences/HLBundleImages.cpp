#include "preferences/HLBundleImages.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"

std::shared_ptr<UIImage> hl_bundleImage(const std::string& name)
{
    return UIImage::imageNamed(name, kHLPreferencesBundlePath);
}

std::shared_ptr<UIColor> hl_navigationColor()
{
    auto image = UIImage::imageWithContentsOfFile(std::string(kHLPreferencesBundlePath) + "/nav.png");
    if (!image)
        image = hl_bundleImage("nav");
    return UIColor::colorWithPatternImage(image);
}
