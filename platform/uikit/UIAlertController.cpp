#include "platform/uikit/UIAlertController.h"

std::shared_ptr<UIAlertController> UIAlertController::alertControllerWithTitle(std::optional<std::string> title,
    std::optional<std::string> message, UIAlertControllerStyle style)
{
    auto alert = std::make_shared<UIAlertController>();
    alert->setTitle(std::move(title));
    alert->m_message = std::move(message);
    alert->m_style = style;
    return alert;
}

void UIAlertController::addAction(std::shared_ptr<UIAlertAction> action)
{
    m_actions.push_back(std::move(action));
}

bool UIAlertController::tapActionAtIndex(size_t index)
{
    auto presenting = presentingViewController();
    if (!presenting || index >= m_actions.size())
        return false;
    auto self = shared_from_this();
    auto action = m_actions[index];
    presenting->dismissViewControllerAnimated(true);
    if (action->handler())
        action->handler()(action);
    return true;
}
