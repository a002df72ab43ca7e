#pragma once

#include <memory>

class UIColor;
class UIImage;

// UIImage(HLAdditions): the small images the settings draw themselves, such as a calendar's
// colour swatch.

// A 5 by 5 point image at scale 1.0, not opaque, filled with the colour.
std::shared_ptr<UIImage> hl_imageWithColor(const std::shared_ptr<UIColor>& color);
// A copy of the image at its own size and scale 1.0, not opaque, drawn through a clip to a
// rounded rectangle with the corner radius.
std::shared_ptr<UIImage> hl_imageWithRoundedCornersSize(double cornerRadius, const std::shared_ptr<UIImage>& image);
