#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/substrate/HookableMethod.h"

#include <memory>

// SpringBoard's status-bar state. The clock calls `setAlarmEnabled:` whenever it believes an
// alarm is set (or none is); the system's implementation shows or hides the alarm icon on the
// device ("alarmIcon").
class SBStatusBarStateAggregator : public NSObject {
public:
    static std::shared_ptr<SBStatusBarStateAggregator> sharedInstance();

    static HookableMethod<void(SBStatusBarStateAggregator&, bool enabled)> setAlarmEnabledMethod;
    void setAlarmEnabled(bool enabled);
};
