#pragma once

#include "platform/uikit/UIViewController.h"

#include <memory>
#include <vector>

class UIColor;

// The bar at the top of a navigation controller.
struct UINavigationBar {
    std::shared_ptr<UIColor> tintColor;
    std::shared_ptr<UIColor> barTintColor;
};

// A stack of screens; the top one is shown, with a back button to the one below.
class UINavigationController : public UIViewController {
public:
    static std::shared_ptr<UINavigationController> initWithRootViewController(std::shared_ptr<UIViewController>);

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return m_stack; }
    std::shared_ptr<UIViewController> topViewController() const { return m_stack.empty() ? nullptr : m_stack.back(); }
    UINavigationBar& navigationBar() { return m_bar; }

    void pushViewController(std::shared_ptr<UIViewController>, bool animated);
    // Pops the top screen (never the root); returns it.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

private:
    std::vector<std::shared_ptr<UIViewController>> m_stack;
    UINavigationBar m_bar;
};
