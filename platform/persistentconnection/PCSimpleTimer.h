#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"
#include "platform/substrate/HookableMethod.h"

#include <functional>
#include <memory>
#include <string>

class NSRunLoop;

// The phone's wake-up timer: fires once at a wall-clock date, waking the phone from sleep to do
// so, and calls its target's selector with itself. The timer keeps its target until it fires or
// is invalidated, so a timer whose owner was dropped still fires (harmlessly) at its date.
//
// On the system clock the pending timers of a process share one timerfd on the alarm clock
// (see WakeUpTimerQueue); on the virtual clock each fires at exactly its date as the run loop
// advances. A timer whose date passed while the machine slept or the clock jumped fires at once.
//
// OS versions: `loggingIdentifier` answers from version 9 on; earlier versions only keep the
// instance variable "_serviceIdentifier".
class PCSimpleTimer : public NSObject {
public:
    // The selector's implementation: called with the target and the timer.
    using Action = std::function<void(const std::shared_ptr<NSObject>& target, const std::shared_ptr<PCSimpleTimer>& timer)>;

    // initWithFireDate:serviceIdentifier:target:selector:userInfo:
    static std::shared_ptr<PCSimpleTimer> initWithFireDate(NSDate fireDate, std::string serviceIdentifier,
        std::shared_ptr<NSObject> target, std::string selector, Action action, PlistDictionary userInfo);
    // initWithAbsoluteTime:serviceIdentifier:target:selector:userInfo:triggerOnGMTChange:, the
    // time in seconds since 2001-01-01 00:00:00 UTC. Goes through its hookable slot.
    static std::shared_ptr<PCSimpleTimer> initWithAbsoluteTime(double absoluteTime, std::string serviceIdentifier,
        std::shared_ptr<NSObject> target, std::string selector, Action action, PlistDictionary userInfo, bool triggerOnGMTChange);
    static HookableMethod<std::shared_ptr<PCSimpleTimer>(double absoluteTime, std::string serviceIdentifier,
        std::shared_ptr<NSObject> target, std::string selector, PCSimpleTimer::Action action, PlistDictionary userInfo,
        bool triggerOnGMTChange)>
        initWithAbsoluteTimeMethod;

    // A member function as the action: [target selector:timer].
    template<class T>
    static Action action(void (T::*method)(const std::shared_ptr<PCSimpleTimer>&))
    {
        return [method](const std::shared_ptr<NSObject>& target, const std::shared_ptr<PCSimpleTimer>& timer) {
            if (auto object = std::dynamic_pointer_cast<T>(target))
                ((*object).*method)(timer);
        };
    }

    PCSimpleTimer(NSDate fireDate, std::string serviceIdentifier, std::shared_ptr<NSObject> target, std::string selector,
        Action action, PlistDictionary userInfo, bool triggerOnGMTChange);

    // Arms the timer on the run loop (the main one is the only one the system uses).
    void scheduleInRunLoop(NSRunLoop&);
    // Cancels the timer (it never fires); goes through its hookable slot.
    void invalidate();
    static HookableMethod<void(PCSimpleTimer&)> invalidateMethod;
    bool isValid() const { return m_valid; }
    bool isScheduled() const { return m_scheduled; }

    NSDate fireDate() const { return m_fireDate; }
    const PlistDictionary& userInfo() const { return m_userInfo; }
    const std::string& selector() const { return m_selector; }
    bool triggersOnGMTChange() const { return m_triggerOnGMTChange; }

    // Whether `loggingIdentifier` exists on the phone's OS version.
    static bool respondsToLoggingIdentifier();
    std::string loggingIdentifier() const { return m_serviceIdentifier; }
    // The instance variable "_serviceIdentifier", as a name look-up would read it.
    const std::string& serviceIdentifierVariable() const { return m_serviceIdentifier; }

    std::string description() const override;

    // Called by the timer queue when the date has come: fires once, then the timer is spent.
    void fire();

private:
    friend struct PCSimpleTimerSystem;
    void systemInvalidate();

    NSDate m_fireDate;
    std::string m_serviceIdentifier;
    std::shared_ptr<NSObject> m_target;
    std::string m_selector;
    Action m_action;
    PlistDictionary m_userInfo;
    bool m_triggerOnGMTChange { false };
    bool m_valid { true };
    bool m_scheduled { false };
};
