#include "platform/uikit/UINavigationController.h"

#include "platform/uikit/UIWindow.h"

std::shared_ptr<UINavigationController> UINavigationController::initWithRootViewController(std::shared_ptr<UIViewController> root)
{
    auto navigation = std::make_shared<UINavigationController>();
    root->setNavigationController(navigation);
    navigation->m_stack.push_back(std::move(root));
    return navigation;
}

void UINavigationController::viewDidLoad()
{
    if (auto top = topViewController())
        top->loadViewIfNeeded();
}

void UINavigationController::viewWillAppear(bool animated)
{
    if (auto top = topViewController())
        top->viewWillAppear(animated);
}

void UINavigationController::viewWillDisappear(bool animated)
{
    if (auto top = topViewController())
        top->viewWillDisappear(animated);
}

void UINavigationController::pushViewController(std::shared_ptr<UIViewController> controller, bool animated)
{
    if (!controller)
        return;
    auto previous = topViewController();
    controller->setNavigationController(std::static_pointer_cast<UINavigationController>(shared_from_this()));
    m_stack.push_back(controller);
    controller->loadViewIfNeeded();
    if (previous)
        previous->viewWillDisappear(animated);
    controller->viewWillAppear(animated);
    UIWindow::keyWindow().setNeedsDisplay();
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated)
{
    if (m_stack.size() < 2)
        return nullptr;
    auto popped = m_stack.back();
    popped->viewWillDisappear(animated);
    m_stack.pop_back();
    m_stack.back()->viewWillAppear(animated);
    UIWindow::keyWindow().setNeedsDisplay();
    return popped;
}
