#include "platform/uikit/UIColor.h"

#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

#include <cstdio>

std::shared_ptr<UIColor> UIColor::colorWithRed(double red, double green, double blue, double alpha)
{
    auto color = std::make_shared<UIColor>();
    color->m_red = red;
    color->m_green = green;
    color->m_blue = blue;
    color->m_alpha = alpha;
    return color;
}

std::shared_ptr<UIColor> UIColor::colorWithWhite(double white, double alpha)
{
    return colorWithRed(white, white, white, alpha);
}

std::shared_ptr<UIColor> UIColor::colorWithPatternImage(std::shared_ptr<UIImage> image)
{
    auto color = std::make_shared<UIColor>();
    color->m_pattern = std::move(image);
    return color;
}

std::shared_ptr<UIColor> UIColor::colorWithAlphaComponent(double alpha) const
{
    auto color = colorWithRed(m_red, m_green, m_blue, alpha);
    color->m_pattern = m_pattern;
    return color;
}

bool UIColor::isEqual(const std::shared_ptr<const NSObject>& other) const
{
    auto color = std::dynamic_pointer_cast<const UIColor>(other);
    if (!color)
        return false;
    if (m_pattern || color->m_pattern)
        return m_pattern && color->m_pattern && m_pattern->isEqual(color->m_pattern) && m_alpha == color->m_alpha;
    return m_red == color->m_red && m_green == color->m_green && m_blue == color->m_blue && m_alpha == color->m_alpha;
}

std::string UIColor::description() const
{
    char text[96];
    if (m_pattern)
        std::snprintf(text, sizeof text, "pattern alpha %.3g of ", m_alpha);
    else
        std::snprintf(text, sizeof text, "rgba(%.3g, %.3g, %.3g, %.3g)", m_red, m_green, m_blue, m_alpha);
    return m_pattern ? text + m_pattern->description() : text;
}

void UIColor::setFill() const
{
    UIGraphicsSetFillColor(std::const_pointer_cast<UIColor>(std::static_pointer_cast<const UIColor>(shared_from_this())));
}
