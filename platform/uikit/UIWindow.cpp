#include "platform/uikit/UIWindow.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIViewController.h"

UIWindow& UIWindow::keyWindow()
{
    static UIWindow window;
    return window;
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller)
{
    m_root = std::move(controller);
    if (m_root) {
        m_root->loadViewIfNeeded();
        m_root->viewWillAppear(false);
    }
    setNeedsDisplay();
}

void UIWindow::setNeedsDisplay()
{
    if (m_displayPending || !m_observer)
        return;
    m_displayPending = true;
    NSRunLoop::main().performBlock([this, observer = m_observer] {
        m_displayPending = false;
        (*observer)();
    });
}

void UIWindow::setDisplayObserver(std::function<void()> observer)
{
    m_observer = observer ? std::make_shared<std::function<void()>>(std::move(observer)) : nullptr;
}
