#pragma once

#include "platform/uikit/CGGeometry.h"

#include <memory>

class UIColor;
class UIImage;

// Image contexts of UIKit, one stack per thread. What is drawn is kept as data (UIImage::Drawing):
// the colour that fills the image and the rounded clip in effect, which is what the system draws
// (solid swatches); a fill that leaves part of the image uncovered still counts as the image's
// colour.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale);
// Null when no image context is open.
std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

// Fills the rectangle with the current fill colour (UIColor::setFill).
void UIRectFill(const CGRect& rect);
// Fills the rectangle with the colour, as drawing a filled image does.
void UIGraphicsFillRectWithColor(const CGRect& rect, const std::shared_ptr<UIColor>& color);
// Sets the current context's fill colour.
void UIGraphicsSetFillColor(const std::shared_ptr<UIColor>& color);

// A path; only rounded rectangles are needed.
class UIBezierPath {
public:
    static std::shared_ptr<UIBezierPath> bezierPathWithRoundedRect(const CGRect& rect, double cornerRadius);
    // Clips the current context's later drawing to the path.
    void addClip() const;

    const CGRect& bounds() const { return m_rect; }
    double cornerRadius() const { return m_cornerRadius; }

private:
    CGRect m_rect;
    double m_cornerRadius { 0 };
};
