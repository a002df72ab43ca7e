#include "platform/springboard/SpringBoard.h"

#include "platform/device/Device.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/mobiletimer/AlarmManager.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SpringBoard>("SpringBoard");

}

HookableMethod<void(SpringBoard&, const std::shared_ptr<NSObject>&)> SpringBoard::applicationDidFinishLaunchingMethod {
    [](SpringBoard&, const std::shared_ptr<NSObject>&) { AlarmManager::sharedManager()->loadScheduledNotifications(); }
};

HookableMethod<void(SpringBoard&)> SpringBoard::midnightPassedMethod {
    [](SpringBoard& self) {
        NSNotificationCenter::defaultCenter().postNotificationName("SBMidnightPassedNotification",
            std::static_pointer_cast<NSObject>(self.shared_from_this()), {});
    }
};

std::shared_ptr<SpringBoard> SpringBoard::sharedApplication()
{
    if (!UIApplication::hasSharedApplication())
        UIApplication::setSharedApplication(std::make_shared<SpringBoard>());
    return std::dynamic_pointer_cast<SpringBoard>(UIApplication::sharedApplication());
}

bool SpringBoard::isLocked() const
{
    return Device::current().isLocked();
}

void SpringBoard::applicationDidFinishLaunching(const std::shared_ptr<NSObject>& application)
{
    applicationDidFinishLaunchingMethod(*this, application);
}

void SpringBoard::_midnightPassed()
{
    midnightPassedMethod(*this);
}
