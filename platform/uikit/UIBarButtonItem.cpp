#include "platform/uikit/UIBarButtonItem.h"

#include "platform/uikit/UIImage.h"

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem item, Action action)
{
    auto button = std::make_shared<UIBarButtonItem>();
    button->m_systemItem = item;
    button->m_style = item == UIBarButtonSystemItem::Done || item == UIBarButtonSystemItem::Save ? UIBarButtonItemStyle::Done
                                                                                                : UIBarButtonItemStyle::Plain;
    button->m_action = std::move(action);
    return button;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithImage(std::shared_ptr<UIImage> image, UIBarButtonItemStyle style, Action action)
{
    auto button = std::make_shared<UIBarButtonItem>();
    button->m_image = std::move(image);
    button->m_style = style;
    button->m_action = std::move(action);
    return button;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithTitle(std::string title, UIBarButtonItemStyle style, Action action)
{
    auto button = std::make_shared<UIBarButtonItem>();
    button->m_title = std::move(title);
    button->m_style = style;
    button->m_action = std::move(action);
    return button;
}

void UIBarButtonItem::tap()
{
    if (m_enabled && m_action)
        m_action(std::static_pointer_cast<UIBarButtonItem>(shared_from_this()));
}
