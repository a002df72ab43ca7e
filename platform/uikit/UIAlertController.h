#pragma once

#include "platform/uikit/UIAlertAction.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class UIAlertControllerStyle { ActionSheet = 0, Alert = 1 };

// An alert or an action sheet, shown by presenting it from a controller.
class UIAlertController : public UIViewController {
public:
    static std::shared_ptr<UIAlertController> alertControllerWithTitle(std::optional<std::string> title,
        std::optional<std::string> message, UIAlertControllerStyle style);

    const std::optional<std::string>& message() const { return m_message; }
    UIAlertControllerStyle preferredStyle() const { return m_style; }
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return m_actions; }
    void addAction(std::shared_ptr<UIAlertAction>);

    // The user taps an action: the alert goes away, then the action's handler runs. False when
    // the alert is not on screen or has no such action.
    bool tapActionAtIndex(size_t index);

private:
    std::optional<std::string> m_message;
    UIAlertControllerStyle m_style { UIAlertControllerStyle::Alert };
    std::vector<std::shared_ptr<UIAlertAction>> m_actions;
};
