#pragma once

#include "platform/foundation/NSObject.h"

#include <functional>
#include <memory>
#include <string>

enum class UIAlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };

// One button of an alert or action sheet and what a tap on it runs.
class UIAlertAction : public NSObject {
public:
    using Handler = std::function<void(const std::shared_ptr<UIAlertAction>&)>;

    static std::shared_ptr<UIAlertAction> actionWithTitle(std::string title, UIAlertActionStyle style, Handler handler)
    {
        auto action = std::make_shared<UIAlertAction>();
        action->m_title = std::move(title);
        action->m_style = style;
        action->m_handler = std::move(handler);
        return action;
    }

    const std::string& title() const { return m_title; }
    UIAlertActionStyle style() const { return m_style; }
    const Handler& handler() const { return m_handler; }

private:
    std::string m_title;
    UIAlertActionStyle m_style { UIAlertActionStyle::Default };
    Handler m_handler;
};
