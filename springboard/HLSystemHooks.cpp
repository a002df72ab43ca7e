#include "springboard/HLSystemHooks.h"

#include "core/HLLog.h"
#include "core/apply/NSObject+Hushline.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/foundation/VQInstanceVariables.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/springboard/SBStatusBarStateAggregator.h"
#include "platform/springboard/SBVolumeHardwareButton.h"
#include "platform/springboard/SBWiFiManager.h"
#include "platform/substrate/HookableMethod.h"

#include <algorithm>
#include <string>

namespace {

constexpr const char* kClockService = "com.apple.mobiletimer";

// The system's implementations that the hooks replaced. Reached through a function so that they
// exist before the plug-in's load-time constructor installs the hooks (globals of this file
// might be initialised only after it ran, wiping what it stored).
struct SystemImplementations {
    decltype(SBWiFiManager::updateCurrentNetworkMethod)::Implementation updateCurrentNetwork;
    decltype(SBVolumeHardwareButton::volumeDecreasePressMethod)::Implementation volumeDecreasePress;
    decltype(SBVolumeHardwareButton::volumeIncreasePressMethod)::Implementation volumeIncreasePress;
    decltype(SBStatusBarStateAggregator::setAlarmEnabledMethod)::Implementation setAlarmEnabled;
    decltype(PCSimpleTimer::initWithAbsoluteTimeMethod)::Implementation initWithAbsoluteTime;
    decltype(PCSimpleTimer::invalidateMethod)::Implementation invalidate;
    std::vector<std::shared_ptr<PCSimpleTimer>>* alarmTimers { nullptr };
};

SystemImplementations& original()
{
    static SystemImplementations implementations;
    return implementations;
}

void markButtonPress()
{
    if (auto controller = AVSystemController::sharedAVSystemController())
        hl_setChangedViaHWButtons(*controller, true);
}

}

void HLSystemHooks::installEveryHostHooks()
{
    MSHookMessageEx(SBWiFiManager::updateCurrentNetworkMethod,
        [](SBWiFiManager& manager) {
            HLLogInfo("***************** SBWiFiManager _updateCurrentNetwork ********************");
            original().updateCurrentNetwork(manager);
        },
        &original().updateCurrentNetwork);
    MSHookMessageEx(SBVolumeHardwareButton::volumeDecreasePressMethod,
        [](SBVolumeHardwareButton& button, const std::shared_ptr<NSObject>& event) {
            original().volumeDecreasePress(button, event);
            markButtonPress();
        },
        &original().volumeDecreasePress);
    MSHookMessageEx(SBVolumeHardwareButton::volumeIncreasePressMethod,
        [](SBVolumeHardwareButton& button, const std::shared_ptr<NSObject>& event) {
            original().volumeIncreasePress(button, event);
            markButtonPress();
        },
        &original().volumeIncreasePress);
}

void HLSystemHooks::installSpringBoardHooks()
{
    MSHookMessageEx(SBStatusBarStateAggregator::setAlarmEnabledMethod,
        [](SBStatusBarStateAggregator& aggregator, bool enabled) {
            // The icon shows only while the clock has a live alarm timer.
            auto* timers = original().alarmTimers;
            bool live = timers && !timers->empty();
            original().setAlarmEnabled(aggregator, enabled && !live ? false : enabled);
        },
        &original().setAlarmEnabled);
    MSHookMessageEx(PCSimpleTimer::initWithAbsoluteTimeMethod,
        [](double time, std::string service, std::shared_ptr<NSObject> target, std::string selector, PCSimpleTimer::Action action,
            PlistDictionary userInfo, bool triggerOnGMTChange) {
            bool clock = service == kClockService;
            auto timer = original().initWithAbsoluteTime(time, std::move(service), std::move(target), std::move(selector), std::move(action),
                std::move(userInfo), triggerOnGMTChange);
            if (clock && timer && original().alarmTimers)
                original().alarmTimers->push_back(timer);
            return timer;
        },
        &original().initWithAbsoluteTime);
    MSHookMessageEx(PCSimpleTimer::invalidateMethod,
        [](PCSimpleTimer& timer) {
            original().invalidate(timer);
            auto* timers = original().alarmTimers;
            if (timers && serviceIdentifierOf(timer) == kClockService)
                std::erase_if(*timers, [&](const std::shared_ptr<PCSimpleTimer>& t) { return t.get() == &timer; });
        },
        &original().invalidate);
}

void HLSystemHooks::createAlarmTimerList()
{
    // Lives as long as the home screen.
    if (!original().alarmTimers)
        original().alarmTimers = new std::vector<std::shared_ptr<PCSimpleTimer>>;
}

const std::vector<std::shared_ptr<PCSimpleTimer>>& HLSystemHooks::alarmTimers()
{
    static const std::vector<std::shared_ptr<PCSimpleTimer>> none;
    return original().alarmTimers ? *original().alarmTimers : none;
}

std::string HLSystemHooks::serviceIdentifierOf(PCSimpleTimer& timer)
{
    if (PCSimpleTimer::respondsToLoggingIdentifier())
        return timer.loggingIdentifier();
    auto self = timer.shared_from_this();
    auto variable = vq_instanceVariableForKey(self, "_serviceIdentifier");
    auto text = variable.asString();
    return text ? *text : std::string();
}
