#include "platform/springboard/SBStatusBarStateAggregator.h"

#include "platform/device/Device.h"
#include "platform/mobiletimer/AlarmManager.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBStatusBarStateAggregator>("SBStatusBarStateAggregator");

// The status bar follows the clock's alarms: whenever the clock believes an alarm is set (or
// none is) it calls setAlarmEnabled:, through which the plug-in's hook sees it.
[[maybe_unused]] const bool watching = AlarmManager::watchAlarmState([](bool anyActive) {
    SBStatusBarStateAggregator::sharedInstance()->setAlarmEnabled(anyActive);
});

}

HookableMethod<void(SBStatusBarStateAggregator&, bool)> SBStatusBarStateAggregator::setAlarmEnabledMethod {
    [](SBStatusBarStateAggregator&, bool enabled) { Device::current().setAlarmIconShown(enabled, "setAlarmEnabled:"); }
};

std::shared_ptr<SBStatusBarStateAggregator> SBStatusBarStateAggregator::sharedInstance()
{
    static const auto aggregator = std::make_shared<SBStatusBarStateAggregator>();
    return aggregator;
}

void SBStatusBarStateAggregator::setAlarmEnabled(bool enabled)
{
    setAlarmEnabledMethod(*this, enabled);
}
