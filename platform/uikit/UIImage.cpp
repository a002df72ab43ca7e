#include "platform/uikit/UIImage.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"

#include <fstream>

namespace {

bool isPngFile(const std::filesystem::path& path)
{
    static constexpr unsigned char signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    std::ifstream file(path, std::ios::binary);
    char head[8] = { };
    if (!file.read(head, sizeof head))
        return false;
    for (size_t i = 0; i < sizeof head; ++i)
        if (static_cast<unsigned char>(head[i]) != signature[i])
            return false;
    return true;
}

}

std::shared_ptr<UIImage> UIImage::imageNamed(const std::string& name, const std::string& bundlePhonePath)
{
    for (const char* suffix : { ".png", "@2x.png", "@3x.png" }) {
        auto image = imageWithContentsOfFile(bundlePhonePath + "/" + name + suffix);
        if (image)
            return image;
    }
    return nullptr;
}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& phonePath)
{
    if (!isPngFile(DeviceRoot::resolve(phonePath)))
        return nullptr;
    return std::make_shared<UIImage>(phonePath);
}

std::shared_ptr<UIImage> UIImage::imageWithDrawing(Drawing drawing)
{
    auto image = std::make_shared<UIImage>(std::string());
    image->m_drawing = std::move(drawing);
    return image;
}

void UIImage::drawInRect(const CGRect& rect) const
{
    if (m_drawing)
        UIGraphicsFillRectWithColor(rect, m_drawing->fillColor);
}

std::string UIImage::name() const
{
    auto stem = std::filesystem::path(m_phonePath).stem().string();
    auto at = stem.find('@');
    return at == std::string::npos ? stem : stem.substr(0, at);
}

bool UIImage::isEqual(const std::shared_ptr<const NSObject>& other) const
{
    auto image = std::dynamic_pointer_cast<const UIImage>(other);
    if (!image || image->m_phonePath != m_phonePath || image->m_drawing.has_value() != m_drawing.has_value())
        return false;
    if (!m_drawing)
        return true;
    const auto& a = *m_drawing;
    const auto& b = *image->m_drawing;
    bool sameFill = a.fillColor == b.fillColor || (a.fillColor && a.fillColor->isEqual(b.fillColor));
    return sameFill && a.size.width == b.size.width && a.size.height == b.size.height && a.scale == b.scale && a.opaque == b.opaque
        && a.clipCornerRadius == b.clipCornerRadius;
}
