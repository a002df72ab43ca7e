#include "springboard/HLSystemHooks.h"

#include "core/HLLog.h"
#include "core/apply/NSObject+Hushline.h"
#include "platform/celestial/AVSystemController.h"
#include "platform/libvelloq/VQInstanceVariables.h"
#include "platform/persistentconnection/PCSimpleTimer.h"
#include "platform/springboard/SBStatusBarStateAggregator.h"
#include "platform/springboard/SBVolumeHardwareButton.h"
#include "platform/springboard/SBWiFiManager.h"
#include "platform/substrate/HookableMethod.h"

#include <algorithm>
#include <string>

namespace {

constexpr const char* kClockService = "com.apple.mobiletimer";

std::vector<std::shared_ptr<PCSimpleTimer>>* alarmTimerList = nullptr;

decltype(SBWiFiManager::updateCurrentNetworkMethod)::Implementation systemUpdateCurrentNetwork;
decltype(SBVolumeHardwareButton::volumeDecreasePressMethod)::Implementation systemVolumeDecreasePress;
decltype(SBVolumeHardwareButton::volumeIncreasePressMethod)::Implementation systemVolumeIncreasePress;
decltype(SBStatusBarStateAggregator::setAlarmEnabledMethod)::Implementation systemSetAlarmEnabled;
decltype(PCSimpleTimer::initWithAbsoluteTimeMethod)::Implementation systemInitWithAbsoluteTime;
decltype(PCSimpleTimer::invalidateMethod)::Implementation systemInvalidate;

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
            if (systemUpdateCurrentNetwork)
                systemUpdateCurrentNetwork(manager);
        },
        &systemUpdateCurrentNetwork);
    MSHookMessageEx(SBVolumeHardwareButton::volumeDecreasePressMethod,
        [](SBVolumeHardwareButton& button, const std::shared_ptr<NSObject>& event) {
            if (systemVolumeDecreasePress)
                systemVolumeDecreasePress(button, event);
            markButtonPress();
        },
        &systemVolumeDecreasePress);
    MSHookMessageEx(SBVolumeHardwareButton::volumeIncreasePressMethod,
        [](SBVolumeHardwareButton& button, const std::shared_ptr<NSObject>& event) {
            if (systemVolumeIncreasePress)
                systemVolumeIncreasePress(button, event);
            markButtonPress();
        },
        &systemVolumeIncreasePress);
}

void HLSystemHooks::installSpringBoardHooks()
{
    MSHookMessageEx(SBStatusBarStateAggregator::setAlarmEnabledMethod,
        [](SBStatusBarStateAggregator& aggregator, bool enabled) {
            // The icon shows only while the clock has a live alarm timer.
            bool live = alarmTimerList && !alarmTimerList->empty();
            if (systemSetAlarmEnabled)
                systemSetAlarmEnabled(aggregator, enabled && !live ? false : enabled);
        },
        &systemSetAlarmEnabled);
    MSHookMessageEx(PCSimpleTimer::initWithAbsoluteTimeMethod,
        [](double time, std::string service, std::shared_ptr<NSObject> target, std::string selector, PCSimpleTimer::Action action,
            PlistDictionary userInfo, bool triggerOnGMTChange) {
            bool clock = service == kClockService;
            auto timer = systemInitWithAbsoluteTime(time, std::move(service), std::move(target), std::move(selector), std::move(action),
                std::move(userInfo), triggerOnGMTChange);
            if (clock && timer && alarmTimerList)
                alarmTimerList->push_back(timer);
            return timer;
        },
        &systemInitWithAbsoluteTime);
    MSHookMessageEx(PCSimpleTimer::invalidateMethod,
        [](PCSimpleTimer& timer) {
            if (systemInvalidate)
                systemInvalidate(timer);
            if (alarmTimerList && serviceIdentifierOf(timer) == kClockService)
                std::erase_if(*alarmTimerList, [&](const std::shared_ptr<PCSimpleTimer>& t) { return t.get() == &timer; });
        },
        &systemInvalidate);
}

void HLSystemHooks::createAlarmTimerList()
{
    // Lives as long as the home screen.
    if (!alarmTimerList)
        alarmTimerList = new std::vector<std::shared_ptr<PCSimpleTimer>>;
}

const std::vector<std::shared_ptr<PCSimpleTimer>>& HLSystemHooks::alarmTimers()
{
    static const std::vector<std::shared_ptr<PCSimpleTimer>> none;
    return alarmTimerList ? *alarmTimerList : none;
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
