#include "platform/uikit/UIAlertView.h"

#include "platform/device/Device.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<UIAlertView>("UIAlertView");

// The alert on screen and the ones waiting for it, oldest first.
struct AlertScreen {
    std::mutex mutex;
    std::shared_ptr<UIAlertView> visible;
    std::deque<std::shared_ptr<UIAlertView>> waiting;
};

AlertScreen& screen()
{
    static AlertScreen alerts;
    return alerts;
}

}

std::shared_ptr<UIAlertView> UIAlertView::initWithTitle(std::string title, std::string message,
    std::weak_ptr<UIAlertViewDelegate> delegate, std::optional<std::string> cancelButtonTitle,
    std::vector<std::string> otherButtonTitles)
{
    return std::make_shared<UIAlertView>(std::move(title), std::move(message), std::move(delegate), std::move(cancelButtonTitle),
        std::move(otherButtonTitles));
}

UIAlertView::UIAlertView(std::string title, std::string message, std::weak_ptr<UIAlertViewDelegate> delegate,
    std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles)
    : m_title(std::move(title))
    , m_message(std::move(message))
    , m_delegate(std::move(delegate))
{
    if (cancelButtonTitle) {
        m_cancelButtonIndex = 0;
        m_buttons.push_back(std::move(*cancelButtonTitle));
    }
    for (auto& button : otherButtonTitles)
        m_buttons.push_back(std::move(button));
}

void UIAlertView::show()
{
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    {
        AlertScreen& alerts = screen();
        std::lock_guard lock(alerts.mutex);
        if (alerts.visible == self || std::find(alerts.waiting.begin(), alerts.waiting.end(), self) != alerts.waiting.end())
            return;
        if (alerts.visible) {
            alerts.waiting.push_back(self);
            return;
        }
        alerts.visible = self;
    }
    putOnScreen();
}

void UIAlertView::putOnScreen()
{
    PlistArray buttons;
    for (const auto& button : m_buttons)
        buttons.push_back(button);
    Device::current().showAlert(
        PlistDictionary { { "title", m_title }, { "message", m_message }, { "buttons", buttons }, { "tag", static_cast<int64_t>(m_tag) } });
    UIWindow::keyWindow().setNeedsDisplay();
}

bool UIAlertView::isVisible() const
{
    AlertScreen& alerts = screen();
    std::lock_guard lock(alerts.mutex);
    return alerts.visible.get() == this;
}

void UIAlertView::dismissWithClickedButtonIndex(long buttonIndex, bool)
{
    std::shared_ptr<UIAlertView> next;
    {
        AlertScreen& alerts = screen();
        std::lock_guard lock(alerts.mutex);
        if (alerts.visible.get() != this) {
            std::erase_if(alerts.waiting, [this](const auto& alert) { return alert.get() == this; });
            return;
        }
        alerts.visible.reset();
        if (!alerts.waiting.empty()) {
            next = alerts.waiting.front();
            alerts.waiting.pop_front();
            alerts.visible = next;
        }
    }
    Device::current().dismissAlert(buttonIndex);
    UIWindow::keyWindow().setNeedsDisplay();
    if (next)
        next->putOnScreen();
}

bool UIAlertView::clickButtonAtIndex(long buttonIndex)
{
    if (!isVisible() || buttonIndex < 0 || buttonIndex >= numberOfButtons())
        return false;
    // Kept alive until the delegate and the dismissal are done with it.
    auto self = std::static_pointer_cast<UIAlertView>(shared_from_this());
    if (auto delegate = m_delegate.lock())
        delegate->alertViewClickedButtonAtIndex(*this, buttonIndex);
    dismissWithClickedButtonIndex(buttonIndex, true);
    return true;
}

std::shared_ptr<UIAlertView> UIAlertView::visibleAlertView()
{
    AlertScreen& alerts = screen();
    std::lock_guard lock(alerts.mutex);
    return alerts.visible;
}

std::string UIAlertView::description() const
{
    return "<UIAlertView \"" + m_title + "\" tag " + std::to_string(m_tag) + ">";
}
