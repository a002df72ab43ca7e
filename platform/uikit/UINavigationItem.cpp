#include "platform/uikit/UINavigationItem.h"

#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIWindow.h"

void UINavigationItem::setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item)
{
    m_right.clear();
    if (item)
        m_right.push_back(std::move(item));
    UIWindow::keyWindow().setNeedsDisplay();
}

void UINavigationItem::setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item)
{
    m_left.clear();
    if (item)
        m_left.push_back(std::move(item));
    UIWindow::keyWindow().setNeedsDisplay();
}

void UINavigationItem::setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool)
{
    m_right = std::move(items);
    UIWindow::keyWindow().setNeedsDisplay();
}

void UINavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool)
{
    m_left = std::move(items);
    UIWindow::keyWindow().setNeedsDisplay();
}
