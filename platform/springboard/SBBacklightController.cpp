#include "platform/springboard/SBBacklightController.h"

#include "platform/device/Device.h"
#include "platform/device/MethodVersions.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<SBBacklightController>("SBBacklightController");

}

std::shared_ptr<SBBacklightController> SBBacklightController::sharedInstance()
{
    static const auto controller = std::make_shared<SBBacklightController>();
    return controller;
}

bool SBBacklightController::respondsToSelector(const std::string& selector) const
{
    static const MethodVersions methods {
        { "_undimFromSource:", { 7, 9 } },
        { "_lockScreenDimTimerFired", { 7, 9 } },
        { "setBacklightFactor:source:", { 7, 13 } },
        { "screenIsOn", { 10, 13 } },
        { "turnOnScreenFullyWithBacklightSource:", { 10, 12 } },
        { "_startFadeOutAnimationFromLockSource:", { 10, 10 } },
        { "_setBacklightFactorToZeroForProx", { 11, 12 } },
    };
    return methods.has(selector);
}

void SBBacklightController::require(const char* selector) const
{
    if (!respondsToSelector(selector))
        ObjCRuntime::doesNotRecognizeSelector("SBBacklightController", selector);
}

bool SBBacklightController::screenIsOn() const
{
    require("screenIsOn");
    return Device::current().isScreenOn();
}

void SBBacklightController::turnOnScreenFullyWithBacklightSource(long)
{
    require("turnOnScreenFullyWithBacklightSource:");
    Device::current().setBacklightFactor(1.0, "turnOnScreenFullyWithBacklightSource:");
}

void SBBacklightController::setBacklightFactor(float factor, long)
{
    require("setBacklightFactor:source:");
    Device::current().setBacklightFactor(factor, "setBacklightFactor:source:");
}

void SBBacklightController::_setBacklightFactorToZeroForProx()
{
    require("_setBacklightFactorToZeroForProx");
    Device::current().setBacklightFactor(0.0, "_setBacklightFactorToZeroForProx");
}

void SBBacklightController::_startFadeOutAnimationFromLockSource(int)
{
    require("_startFadeOutAnimationFromLockSource:");
    Device::current().setBacklightFactor(0.0, "_startFadeOutAnimationFromLockSource:");
}

void SBBacklightController::_undimFromSource(int)
{
    require("_undimFromSource:");
    Device::current().setBacklightFactor(1.0, "_undimFromSource:");
}

void SBBacklightController::_lockScreenDimTimerFired()
{
    require("_lockScreenDimTimerFired");
    Device& phone = Device::current();
    if (phone.isLocked())
        phone.setBacklightFactor(0.0, "_lockScreenDimTimerFired");
}
