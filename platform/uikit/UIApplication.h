#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>

// The process's application object. The home-screen host installs its SpringBoard object;
// any other process gets a plain application on first use.
class UIApplication : public NSObject {
public:
    static std::shared_ptr<UIApplication> sharedApplication();
    static void setSharedApplication(std::shared_ptr<UIApplication>);
    // Whether sharedApplication() has been created or installed yet.
    static bool hasSharedApplication();

    // Whether the system shows its volume display when a volume changes.
    void setSystemVolumeHUDEnabled(bool enabled);
};
