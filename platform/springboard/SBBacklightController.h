#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

// SpringBoard's backlight: lights and dims the screen of the simulated phone. Its methods per OS
// version:
//   7-9     _undimFromSource:, _lockScreenDimTimerFired, setBacklightFactor:source:
//   10      screenIsOn, turnOnScreenFullyWithBacklightSource:, setBacklightFactor:source:,
//           _startFadeOutAnimationFromLockSource:
//   11-12   screenIsOn, turnOnScreenFullyWithBacklightSource:, setBacklightFactor:source:,
//           _setBacklightFactorToZeroForProx
//   13      screenIsOn, setBacklightFactor:source: (no way to dim it other than the factor)
// Sending a method that the version lacks throws, as the phone raises an exception.
class SBBacklightController : public NSObject {
public:
    static std::shared_ptr<SBBacklightController> sharedInstance();

    bool respondsToSelector(const std::string& selector) const;

    bool screenIsOn() const;
    void turnOnScreenFullyWithBacklightSource(long source);
    void setBacklightFactor(float factor, long source);
    // Turns the screen off (the proximity sensor's way).
    void _setBacklightFactorToZeroForProx();
    // Fades the screen out.
    void _startFadeOutAnimationFromLockSource(int source);
    // Lights the screen fully.
    void _undimFromSource(int source);
    // The lock screen's idle timer: turns the screen off while the phone is locked; an unlocked
    // phone keeps its screen.
    void _lockScreenDimTimerFired();

private:
    void require(const char* selector) const;
};
