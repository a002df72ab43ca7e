#pragma once

#include "platform/uikit/UIApplication.h"

#include <memory>

// SpringBoard's application object. In the home-screen host it is the shared application; in
// any other process there is none.
class SpringBoard : public UIApplication {
public:
    // The shared application when it is SpringBoard. A process that has no application object
    // yet gets a SpringBoard installed (the home-screen host, or a test standing in for it).
    static std::shared_ptr<SpringBoard> sharedApplication();

    // Whether the phone shows its lock screen.
    bool isLocked() const;
};
