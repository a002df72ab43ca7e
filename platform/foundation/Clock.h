#pragma once

#include "platform/foundation/NSDate.h"

#include <atomic>
#include <memory>

// The one clock of a process. Every "now" of the system and of the stand-ins reads it.
// The system clock is the wall clock; the virtual clock moves only when told (tests, the day
// simulation), so that a whole day of timers runs in milliseconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual NSTimeInterval now() const = 0;
    virtual bool isVirtual() const = 0;

    // The process clock: the system clock unless another was installed. A process of a phone
    // that was booted on a virtual clock (its device root holds the shared clock, see
    // SharedClock) starts out reading that phone's time.
    static Clock& process();
    static void install(std::shared_ptr<Clock>);
    // Installs a new virtual clock standing at the given time and returns it.
    static std::shared_ptr<class VirtualClock> installVirtual(NSTimeInterval start);
    static void installSystem();
};

class SystemClock final : public Clock {
public:
    NSTimeInterval now() const override;
    bool isVirtual() const override { return false; }
};

class VirtualClock : public Clock {
public:
    explicit VirtualClock(NSTimeInterval start) : m_now(start) { }
    NSTimeInterval now() const override { return m_now.load(); }
    bool isVirtual() const override { return true; }

    // Moves the clock. Timers that come due are the run loop's business: advance time through
    // the run loop when timers must fire on the way.
    virtual void set(NSTimeInterval t) { m_now.store(t); }
    void advance(NSTimeInterval seconds) { set(now() + seconds); }

private:
    std::atomic<NSTimeInterval> m_now;
};
