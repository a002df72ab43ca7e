#pragma once

class UIAlertView;

// The delegate of an alert view (UIAlertViewDelegate): told which button the user tapped.
class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;

    // alertView:clickedButtonAtIndex:
    virtual void alertViewClickedButtonAtIndex(UIAlertView& alertView, long buttonIndex) = 0;
};
