#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UINavigationItem.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class UINavigationController;

// A screen. Its view is loaded once, before it is first shown (viewDidLoad); it hears when it
// appears and disappears. A controller presents another modally above itself; the presented one
// remembers who presented it.
class UIViewController : public NSObject {
public:
    using Completion = std::function<void()>;

    const std::optional<std::string>& title() const { return m_title; }
    void setTitle(std::optional<std::string> title);
    UINavigationItem& navigationItem() { return m_navigationItem; }
    const UINavigationItem& navigationItem() const { return m_navigationItem; }

    // The navigation controller whose stack holds this controller (itself for none).
    std::shared_ptr<UINavigationController> navigationController() const { return m_navigationController.lock(); }
    void setNavigationController(const std::shared_ptr<UINavigationController>& controller) { m_navigationController = controller; }

    bool isViewLoaded() const { return m_viewLoaded; }
    void loadViewIfNeeded();

    // Makes the controller's view; runs once, right before viewDidLoad.
    virtual void loadView() { }
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool animated) { }
    virtual void viewWillDisappear(bool animated) { }

    // Presents the controller above this one (above the controller this one already presents,
    // as UIKit forwards it); the completion runs once it is shown.
    void presentViewController(std::shared_ptr<UIViewController>, bool animated, Completion = nullptr);
    // Dismisses what this controller presents, or, when it presents nothing, this controller
    // itself from the one that presented it.
    void dismissViewControllerAnimated(bool animated, Completion = nullptr);
    const std::shared_ptr<UIViewController>& presentedViewController() const { return m_presented; }
    std::shared_ptr<UIViewController> presentingViewController() const { return m_presenting.lock(); }

private:
    std::optional<std::string> m_title;
    UINavigationItem m_navigationItem;
    std::weak_ptr<UINavigationController> m_navigationController;
    bool m_viewLoaded { false };
    std::shared_ptr<UIViewController> m_presented;
    std::weak_ptr<UIViewController> m_presenting;
};
