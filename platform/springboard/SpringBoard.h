#pragma once

#include "platform/substrate/HookableMethod.h"
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

    // applicationDidFinishLaunching: — the host calls it once, after the plug-ins are loaded
    // and before the main run loop runs. The system's implementation has the clock arm its
    // alarms (AlarmManager loadScheduledNotifications).
    static HookableMethod<void(SpringBoard&, const std::shared_ptr<NSObject>& application)> applicationDidFinishLaunchingMethod;
    void applicationDidFinishLaunching(const std::shared_ptr<NSObject>& application);

    // _midnightPassed — the host calls it at every local midnight and when the wall clock is
    // set across one. The system's implementation posts the process-local notification
    // "SBMidnightPassedNotification".
    static HookableMethod<void(SpringBoard&)> midnightPassedMethod;
    void _midnightPassed();
};
