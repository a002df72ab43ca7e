#include "platform/social/SLComposeViewController.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/PropertyList.h"
#include "platform/uikit/UIImage.h"

std::shared_ptr<SLComposeViewController> SLComposeViewController::composeViewControllerForServiceType(const std::string& serviceType)
{
    if (!isAvailableForServiceType(serviceType))
        return nullptr;
    auto composer = std::make_shared<SLComposeViewController>();
    composer->m_serviceType = serviceType;
    return composer;
}

bool SLComposeViewController::isAvailableForServiceType(const std::string& serviceType)
{
    return serviceType == SLServiceTypeTwitter || serviceType == SLServiceTypeSinaWeibo;
}

bool SLComposeViewController::setInitialText(std::string text)
{
    m_text = std::move(text);
    return true;
}

bool SLComposeViewController::addImage(std::shared_ptr<UIImage> image)
{
    if (!image)
        return false;
    m_images.push_back(std::move(image));
    return true;
}

bool SLComposeViewController::post()
{
    auto path = DeviceRoot::resolve(postsPath());
    auto existing = PropertyList::read(path);
    PlistArray posts = existing && existing->isArray() ? *existing->asArray() : PlistArray();
    PlistArray images;
    for (const auto& image : m_images)
        images.push_back(image->name());
    PlistDictionary post;
    post["service"] = m_serviceType;
    post["text"] = m_text;
    post["images"] = std::move(images);
    post["date"] = NSDate::date();
    posts.emplace_back(std::move(post));
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    bool written = PropertyList::write(path, posts);
    finish(SLComposeViewControllerResult::Done);
    return written;
}

void SLComposeViewController::cancel()
{
    finish(SLComposeViewControllerResult::Cancelled);
}

void SLComposeViewController::finish(SLComposeViewControllerResult result)
{
    auto self = shared_from_this();
    dismissViewControllerAnimated(true);
    if (m_completion)
        m_completion(result);
}
