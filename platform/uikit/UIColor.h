#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

class UIImage;

// A colour: red, green, blue and alpha from 0 to 1, or a pattern that tiles an image.
class UIColor : public NSObject {
public:
    static std::shared_ptr<UIColor> colorWithRed(double red, double green, double blue, double alpha);
    static std::shared_ptr<UIColor> colorWithWhite(double white, double alpha);
    static std::shared_ptr<UIColor> whiteColor() { return colorWithWhite(1, 1); }
    static std::shared_ptr<UIColor> blackColor() { return colorWithWhite(0, 1); }
    static std::shared_ptr<UIColor> clearColor() { return colorWithWhite(0, 0); }
    static std::shared_ptr<UIColor> darkGrayColor() { return colorWithWhite(1.0 / 3.0, 1); }
    static std::shared_ptr<UIColor> lightGrayColor() { return colorWithWhite(2.0 / 3.0, 1); }
    static std::shared_ptr<UIColor> colorWithPatternImage(std::shared_ptr<UIImage> image);

    std::shared_ptr<UIColor> colorWithAlphaComponent(double alpha) const;
    // Makes the colour the fill colour of the current image context (UIGraphics.h).
    void setFill() const;

    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double alpha() const { return m_alpha; }
    // The tiled image of a pattern colour; null for a plain colour.
    const std::shared_ptr<UIImage>& patternImage() const { return m_pattern; }

    bool isEqual(const std::shared_ptr<const NSObject>& other) const override;
    std::string description() const override;

private:
    double m_red { 0 };
    double m_green { 0 };
    double m_blue { 0 };
    double m_alpha { 1 };
    std::shared_ptr<UIImage> m_pattern;
};
