#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class NSRunLoop;

// A timer on a run loop (see NSRunLoop). It fires at its fire date, on the process clock; a
// repeating timer then moves its fire date on by its interval (skipping the moments that have
// already passed), a one-shot timer is invalidated once its handler returns unless the handler
// gave it a new fire date. The run loop keeps a scheduled timer until it is invalidated.
//
// The target/selector form holds its target weakly: a timer whose target has gone away
// invalidates itself instead of firing, so a timer never keeps its owner alive.
class NSTimer : public NSObject {
public:
    using Handler = std::function<void(NSTimer&)>;

    NSTimer(NSDate fireDate, NSTimeInterval interval, bool repeats, Handler, PlistValue userInfo = {});

    // A timer firing `interval` seconds from now, not yet on a run loop.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(NSTimeInterval interval, bool repeats, Handler);
    // The same, scheduled on the main run loop.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Handler);

    // [[NSTimer alloc] initWithFireDate:interval:target:selector:userInfo:repeats:]
    template<class T>
    static std::shared_ptr<NSTimer> initWithFireDate(NSDate fireDate, NSTimeInterval interval, const std::shared_ptr<T>& target,
        void (T::*selector)(NSTimer&), PlistValue userInfo, bool repeats)
    {
        return std::make_shared<NSTimer>(fireDate, interval, repeats, weakHandler(target, selector), std::move(userInfo));
    }
    // [NSTimer scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:]
    template<class T>
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval, const std::shared_ptr<T>& target,
        void (T::*selector)(NSTimer&), PlistValue userInfo, bool repeats)
    {
        auto timer = initWithFireDate(NSDate::dateWithTimeIntervalSinceNow(interval), interval, target, selector, std::move(userInfo), repeats);
        scheduleOnMainRunLoop(timer);
        return timer;
    }

    // Runs the handler now. A one-shot timer is then invalidated; a repeating one keeps its
    // schedule.
    void fire();
    // Takes the timer off its run loop for good and lets go of its handler (and so its target).
    void invalidate();
    bool isValid() const { return m_valid.load(); }

    NSDate fireDate() const;
    // Moves the timer; on a run loop it fires at the new date. Also re-arms a one-shot timer
    // from inside its own handler.
    void setFireDate(NSDate);
    NSTimeInterval timeInterval() const { return m_interval; }
    bool repeats() const { return m_repeats; }
    const PlistValue& userInfo() const { return m_userInfo; }

private:
    friend class NSRunLoop;

    template<class T>
    static Handler weakHandler(const std::shared_ptr<T>& target, void (T::*selector)(NSTimer&))
    {
        std::weak_ptr<T> weak = target;
        return [weak, selector](NSTimer& timer) {
            auto strong = weak.lock();
            if (!strong) {
                timer.invalidate();
                return;
            }
            ((*strong).*selector)(timer);
        };
    }
    static void scheduleOnMainRunLoop(const std::shared_ptr<NSTimer>&);

    // The next fire date of a repeating timer after it fired at `fired`, later than `now`.
    NSTimeInterval nextFireDate(NSTimeInterval fired, NSTimeInterval now) const;

    // Guarded by the run loop's mutex once the timer is on a run loop.
    NSTimeInterval m_fireDate;
    const NSTimeInterval m_interval;
    const bool m_repeats;
    std::shared_ptr<Handler> m_handler;
    const PlistValue m_userInfo;
    std::atomic<bool> m_valid { true };
    std::atomic<NSRunLoop*> m_runLoop { nullptr };
    std::optional<std::pair<NSTimeInterval, uint64_t>> m_key;
    bool m_firing { false };
    bool m_rearmed { false };
};
