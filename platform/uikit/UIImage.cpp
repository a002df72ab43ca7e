#include "platform/uikit/UIImage.h"

#include "platform/foundation/DeviceRoot.h"

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

std::string UIImage::name() const
{
    auto stem = std::filesystem::path(m_phonePath).stem().string();
    auto at = stem.find('@');
    return at == std::string::npos ? stem : stem.substr(0, at);
}

bool UIImage::isEqual(const std::shared_ptr<const NSObject>& other) const
{
    auto image = std::dynamic_pointer_cast<const UIImage>(other);
    return image && image->m_phonePath == m_phonePath;
}
