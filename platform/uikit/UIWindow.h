#pragma once

#include <functional>
#include <memory>

class UIViewController;

// The process's key window: the root view controller and the one place that hears that
// something on screen changed. Changes made during one turn of the main run loop are drawn
// together on the next turn, as UIKit coalesces its redraws.
class UIWindow {
public:
    static UIWindow& keyWindow();

    const std::shared_ptr<UIViewController>& rootViewController() const { return m_root; }
    void setRootViewController(std::shared_ptr<UIViewController>);

    // Something visible changed; the display observer runs once on the next turn.
    void setNeedsDisplay();
    // Who draws (the Settings host); an empty one stops the drawing.
    void setDisplayObserver(std::function<void()>);

private:
    std::shared_ptr<UIViewController> m_root;
    std::shared_ptr<std::function<void()>> m_observer;
    bool m_displayPending { false };
};
