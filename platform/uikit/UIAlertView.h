#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIAlertViewDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A modal alert with a title, a message and buttons. The phone shows one alert at a time: an
// alert shown while another is on screen waits until that one is dismissed. The alert on screen
// is part of the device's state ("alert": title, message, buttons, tag), so that phonectl and
// tests can see it and answer it.
//
// Buttons are numbered in the order shown: the cancel button (when there is one) is index 0,
// then the other buttons in the order given. The delegate is held weakly, as UIKit does; the
// alert itself stays alive while it is on screen or waiting for it.
class UIAlertView : public NSObject {
public:
    // initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:
    static std::shared_ptr<UIAlertView> initWithTitle(std::string title, std::string message,
        std::weak_ptr<UIAlertViewDelegate> delegate, std::optional<std::string> cancelButtonTitle,
        std::vector<std::string> otherButtonTitles);

    const std::string& title() const { return m_title; }
    const std::string& message() const { return m_message; }
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return m_delegate.lock(); }
    long tag() const { return m_tag; }
    void setTag(long tag) { m_tag = tag; }
    const std::vector<std::string>& buttonTitles() const { return m_buttons; }
    long numberOfButtons() const { return static_cast<long>(m_buttons.size()); }
    // -1 when the alert has no cancel button.
    long cancelButtonIndex() const { return m_cancelButtonIndex; }

    void show();
    bool isVisible() const;
    // Takes the alert off screen (or out of the waiting line) without telling the delegate
    // about a tap, as UIKit does for a dismissal in code.
    void dismissWithClickedButtonIndex(long buttonIndex, bool animated);

    // The user taps a button of the alert on screen: the delegate hears
    // `alertView:clickedButtonAtIndex:`, then the alert is dismissed. False (and nothing
    // happens) when the alert is not on screen or has no such button.
    bool clickButtonAtIndex(long buttonIndex);

    // The alert on screen, if any.
    static std::shared_ptr<UIAlertView> visibleAlertView();

    std::string description() const override;

    UIAlertView(std::string title, std::string message, std::weak_ptr<UIAlertViewDelegate> delegate,
        std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles);

private:
    void putOnScreen();

    std::string m_title;
    std::string m_message;
    std::weak_ptr<UIAlertViewDelegate> m_delegate;
    std::vector<std::string> m_buttons;
    long m_cancelButtonIndex { -1 };
    long m_tag { 0 };
};
