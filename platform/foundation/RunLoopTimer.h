#pragma once

#include "platform/machinery/FileDescriptor.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// The clock a RunLoopTimer's time is read on.
enum class TimerClock {
    // Real elapsed time (CLOCK_MONOTONIC, seconds since boot): time-outs of a protocol, which
    // run in real time whatever the process clock says.
    Monotonic,
    // The process clock (seconds since 1970, Clock::process()). On the system clock a timer on
    // CLOCK_REALTIME that also reports every change of the wall clock.
    RealTime,
    // As RealTime, on CLOCK_REALTIME_ALARM, which wakes a suspended machine. Where the process
    // may not use it (no CAP_WAKE_ALARM, no real-time clock) the timer runs as RealTime and
    // fallbackReason() says why.
    RealTimeAlarm,
};

enum class TimerEvent {
    // The armed time has come; the timer is no longer armed.
    Fired,
    // The wall clock was set. The timer stays armed at the same time (it fires at once if that
    // time is now behind); whatever depends on the date should be checked again.
    ClockChanged,
};

// A one-shot timer at an absolute time on a named clock, served by a run loop.
//
// Where it waits is decided here and nowhere else: a timer on the process clock queues on the
// run loop when that clock is virtual (it fires as the loop advances the clock to its time,
// in the order it was armed among work of the same time), and is a timerfd otherwise. The
// decision is made at each arming, so a timer follows the clock that is installed.
//
// The handler runs on the loop's thread and may re-arm, disarm or destroy the timer. A timer
// belongs to the thread that runs its loop.
class RunLoopTimer {
public:
    using Handler = std::function<void(TimerEvent)>;

    RunLoopTimer(TimerClock, Handler, NSRunLoop& = NSRunLoop::main());
    ~RunLoopTimer();
    RunLoopTimer(const RunLoopTimer&) = delete;
    RunLoopTimer& operator=(const RunLoopTimer&) = delete;

    // The present time on the clock, in its own count (see TimerClock).
    static double now(TimerClock);
    // Why this process's alarm timers cannot use the alarm clock (none when they can): asks the
    // kernel once, as the first alarm timer does.
    static std::optional<std::string> alarmClockRefusal();

    // Arms the timer at the time, replacing an earlier arming. A time that has passed fires on
    // the next turn. False, with errno set, when no timerfd could be created or armed.
    bool armAt(double time);
    bool armAfter(double seconds) { return armAt(now(m_clock) + seconds); }
    void disarm();
    bool isArmed() const { return m_armedAt.has_value(); }
    std::optional<double> armedAt() const { return m_armedAt; }

    TimerClock clock() const { return m_clock; }
    // The clock of the timerfd: none until the first arming on the system clock; RealTime for an
    // alarm timer that could not use the alarm clock.
    std::optional<TimerClock> kernelClock() const { return m_kernelClock; }
    // Why an alarm timer runs on the wall clock instead; empty otherwise.
    const std::string& fallbackReason() const { return m_fallbackReason; }

private:
    bool queuesOnLoop() const;
    void queueOnLoop(double time);
    bool armDescriptor(double time);
    void disarmDescriptor();
    bool openDescriptor();
    void onReadable();
    void fire(TimerEvent);

    const TimerClock m_clock;
    std::shared_ptr<Handler> m_handler;
    NSRunLoop& m_loop;
    std::optional<double> m_armedAt;
    // Blocks queued on the loop for an earlier arming are stale once the timer is armed again.
    std::shared_ptr<uint64_t> m_generation = std::make_shared<uint64_t>(0);
    FileDescriptor m_fd;
    RunLoopSource m_source;
    std::optional<TimerClock> m_kernelClock;
    std::string m_fallbackReason;
};
