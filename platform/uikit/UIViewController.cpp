#include "platform/uikit/UIViewController.h"

#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

void UIViewController::setTitle(std::optional<std::string> title)
{
    m_title = std::move(title);
    UIWindow::keyWindow().setNeedsDisplay();
}

void UIViewController::loadViewIfNeeded()
{
    if (m_viewLoaded)
        return;
    m_viewLoaded = true;
    loadView();
    viewDidLoad();
}

void UIViewController::presentViewController(std::shared_ptr<UIViewController> controller, bool animated, Completion completion)
{
    if (!controller)
        return;
    if (m_presented) {
        m_presented->presentViewController(std::move(controller), animated, std::move(completion));
        return;
    }
    m_presented = controller;
    controller->m_presenting = std::static_pointer_cast<UIViewController>(shared_from_this());
    controller->loadViewIfNeeded();
    controller->viewWillAppear(animated);
    UIWindow::keyWindow().setNeedsDisplay();
    if (completion)
        completion();
}

void UIViewController::dismissViewControllerAnimated(bool animated, Completion completion)
{
    if (!m_presented) {
        // A screen inside a presented navigation controller dismisses that controller.
        if (auto presenting = m_presenting.lock())
            presenting->dismissViewControllerAnimated(animated, std::move(completion));
        else if (auto navigation = navigationController(); navigation && navigation.get() != this)
            navigation->dismissViewControllerAnimated(animated, std::move(completion));
        return;
    }
    auto dismissed = std::move(m_presented);
    m_presented = nullptr;
    if (dismissed->m_presented)
        dismissed->dismissViewControllerAnimated(animated);
    dismissed->viewWillDisappear(animated);
    dismissed->m_presenting.reset();
    UIWindow::keyWindow().setNeedsDisplay();
    if (completion)
        completion();
}
