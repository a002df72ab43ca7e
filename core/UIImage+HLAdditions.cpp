#include "core/UIImage+HLAdditions.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

std::shared_ptr<UIImage> hl_imageWithColor(const std::shared_ptr<UIColor>& color)
{
    CGRect rect { 0, 0, 5, 5 };
    UIGraphicsBeginImageContextWithOptions(CGSize { rect.width, rect.height }, false, 1.0);
    if (color)
        color->setFill();
    UIRectFill(rect);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::shared_ptr<UIImage> hl_imageWithRoundedCornersSize(double cornerRadius, const std::shared_ptr<UIImage>& image)
{
    if (!image)
        return nullptr;
    CGRect rect { 0, 0, image->size().width, image->size().height };
    UIGraphicsBeginImageContextWithOptions(image->size(), false, 1.0);
    UIBezierPath::bezierPathWithRoundedRect(rect, cornerRadius)->addClip();
    image->drawInRect(rect);
    auto rounded = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return rounded;
}
