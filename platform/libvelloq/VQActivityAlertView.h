#pragma once

#include "platform/uikit/UIAlertView.h"

#include <memory>
#include <string>

// libvelloq's modal progress panel: a title, a message and a spinner, no buttons. It stays on
// screen until the code that showed it closes it.
class VQActivityAlertView : public UIAlertView {
public:
    // initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles: with no buttons.
    static std::shared_ptr<VQActivityAlertView> initWithTitle(std::string title, std::string message);

    void close() { dismissWithClickedButtonIndex(0, true); }

    VQActivityAlertView(std::string title, std::string message);
};
