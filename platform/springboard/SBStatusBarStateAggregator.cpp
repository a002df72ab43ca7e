#include "platform/springboard/SBStatusBarStateAggregator.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBStatusBarStateAggregator>("SBStatusBarStateAggregator");

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
