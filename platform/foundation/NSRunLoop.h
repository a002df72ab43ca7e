#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class NSTimer;

// The process's main run loop: timers, blocks queued for the next turn or for a date
// (dispatch_async / dispatch_after on the main queue), delayed performs of a selector, and file
// descriptors to watch (epoll). Every date is on the process clock (Clock::process()).
//
// Work is kept in one queue ordered by date; work of the same date runs in the order it was
// queued. Handlers run on the thread that runs the loop, outside every lock, so a handler may
// queue, cancel or reschedule anything, its own timer included. Queuing (performBlock,
// performBlockAtDate, addTimer, cancelling) is safe from any thread and wakes a waiting loop
// through an eventfd.
//
// Running for real (system clock): run() until stop(), runOnce() for one turn, runUntil() for
// a span of real time. A turn waits in epoll until the earliest date or until a watched
// descriptor is ready, then serves the descriptors and runs the work that is due.
//
// Running on the virtual clock (tests, the day simulation): nothing waits. advanceBy(seconds)
// or runUntil(date) fires every due timer and delayed block in date order, setting the virtual
// clock to each one's date before it runs, including work that the handlers queue on the way
// (when it falls within the span), and leaves the clock at the end of the span. runPending()
// runs what is due at the present moment ("the next turn") without moving the clock. Both also
// serve watched descriptors that are ready (without waiting).
class NSRunLoop {
public:
    using Block = std::function<void()>;
    // Events are epoll's (EPOLLIN, ...); the handler is told which ones occurred.
    using SourceHandler = std::function<void(uint32_t events)>;
    using SourceID = uint64_t;

    // The main run loop. Created on first use and never destroyed (work may still be queued at
    // exit, and its blocks must not run during static destruction).
    static NSRunLoop& main();
    static NSRunLoop& mainRunLoop() { return main(); }

    NSRunLoop();
    ~NSRunLoop();
    NSRunLoop(const NSRunLoop&) = delete;
    NSRunLoop& operator=(const NSRunLoop&) = delete;

    // Scheduling.
    // A timer fires at its fire date; the loop keeps it until it is invalidated (see NSTimer).
    void addTimer(const std::shared_ptr<NSTimer>&);
    // The block runs on the next turn (dispatch_async on the main queue).
    void performBlock(Block);
    // The block runs once the date has come (dispatch_after on the main queue); a date in the
    // past means the next turn.
    void performBlockAtDate(NSDate, Block);
    // [target performSelector:selector withObject:argument afterDelay:delay]: the invocation
    // runs after the delay. The loop keeps target and argument until then, as the phone does.
    // The target and selector name identify the request for cancelPerformRequests.
    void performSelector(std::shared_ptr<NSObject> target, std::string selector, std::shared_ptr<NSObject> argument,
        NSTimeInterval delay, Block invocation);
    // Drops the pending requests of the target for the selector whose argument is equal
    // (isEqual; two empty arguments are equal). Requests that already started are not affected.
    void cancelPerformRequests(const NSObject* target, const std::string& selector, const std::shared_ptr<NSObject>& argument);
    // Drops every pending request of the target.
    void cancelPerformRequests(const NSObject* target);

    // File descriptors. The loop does not own the descriptor; remove the source before closing
    // it. A handler may remove its own source or add others. 0 when epoll refuses the
    // descriptor (one already watched, for instance).
    SourceID addSource(int fd, uint32_t events, SourceHandler);
    void removeSource(SourceID);

    // Another library's main loop served by this one (GLib's): on every turn, the real and the
    // virtual clock alike (runPending's wait of no time included), `beforeWait` runs before the
    // wait for descriptors and answers the longest the loop may wait now, in seconds (negative:
    // no limit of its own); `afterWait` runs once the wait ended, before the descriptors'
    // handlers, and answers whether it ran anything. Either may be empty. An observer removed
    // during a turn is not called again.
    struct WaitObserver {
        std::function<NSTimeInterval()> beforeWait;
        std::function<bool()> afterWait;
    };
    using ObserverID = uint64_t;
    ObserverID addWaitObserver(WaitObserver);
    void removeWaitObserver(ObserverID);

    // Running for real.
    void run();
    // Makes run() return after the current turn; safe from any thread.
    void stop();
    // One turn: waits at most maxWait seconds (negative: as long as it takes) for the earliest
    // date or a descriptor, then serves both. Returns whether anything ran.
    bool runOnce(NSTimeInterval maxWait = -1);
    // Turns until the condition holds or realTimeout seconds of real time have passed (for work
    // that another thread hands to the loop). Returns whether the condition holds.
    bool runUntilCondition(const std::function<bool()>& condition, double realTimeout);

    // Running on the virtual clock: runs the span as described above. On the system clock the
    // same calls turn the loop in real time until the date has passed.
    void advanceBy(NSTimeInterval seconds);
    void runUntil(NSDate);
    // Runs everything due now, including what those handlers queue for now (so a block that
    // keeps queuing itself for now keeps it running). Returns how many items ran.
    size_t runPending();

    // What is queued (timers, blocks and performs).
    std::optional<NSDate> nextFireDate() const;
    size_t pendingCount() const;
    // Drops everything queued, every source and every wait observer (a test starts from an
    // empty loop).
    void reset();

private:
    friend class NSTimer;
    using Key = std::pair<NSTimeInterval, uint64_t>;
    struct Item {
        Block block;
        std::shared_ptr<NSTimer> timer;
        // A delayed perform: its identity for cancellation.
        bool isPerform { false };
        std::shared_ptr<NSObject> target;
        std::string selector;
        std::shared_ptr<NSObject> argument;

        static Item forTimer(std::shared_ptr<NSTimer> timer)
        {
            Item item;
            item.timer = std::move(timer);
            return item;
        }
        static Item forBlock(Block block)
        {
            Item item;
            item.block = std::move(block);
            return item;
        }
    };

    Key insertLocked(NSTimeInterval date, Item);
    void wake();
    void drainWake();
    size_t serveSources(int timeoutMs);
    struct Observer;
    std::vector<std::shared_ptr<Observer>> observersNow() const;
    // Runs the first item due at `now` that was queued as `maxSequence` or earlier; false when
    // there is none.
    bool runFirstDue(NSTimeInterval now, uint64_t maxSequence);
    void runItem(Item&);
    void scheduleTimerLocked(const std::shared_ptr<NSTimer>&);
    int waitMilliseconds(NSTimeInterval maxWait) const;

    mutable std::mutex m_mutex;
    std::map<Key, Item> m_queue;
    uint64_t m_nextSequence { 1 };

    struct Source {
        int fd;
        std::shared_ptr<SourceHandler> handler;
    };
    std::map<SourceID, Source> m_sources;
    SourceID m_nextSource { 1 };

    std::map<ObserverID, std::shared_ptr<Observer>> m_observers;
    ObserverID m_nextObserver { 1 };

    int m_epoll { -1 };
    int m_wakeFd { -1 };
    std::atomic<bool> m_stopped { false };
};

// NSObject(NSDelayedPerforming), on the main run loop.
// [target performSelector:@selector(name) withObject:nil afterDelay:delay]
template<class T>
void performSelector(const std::shared_ptr<T>& target, const std::string& selector, void (T::*method)(), NSTimeInterval delay)
{
    NSRunLoop::main().performSelector(target, selector, nullptr, delay, [target, method] { ((*target).*method)(); });
}

// [target performSelector:@selector(name:) withObject:argument afterDelay:delay]
template<class T, class A>
void performSelector(const std::shared_ptr<T>& target, const std::string& selector, void (T::*method)(const std::shared_ptr<A>&),
    const std::shared_ptr<A>& argument, NSTimeInterval delay)
{
    NSRunLoop::main().performSelector(target, selector, argument, delay, [target, method, argument] { ((*target).*method)(argument); });
}

// [NSObject cancelPreviousPerformRequestsWithTarget:target selector:selector object:argument]
inline void cancelPreviousPerformRequestsWithTarget(const std::shared_ptr<NSObject>& target, const std::string& selector,
    const std::shared_ptr<NSObject>& argument = nullptr)
{
    NSRunLoop::main().cancelPerformRequests(target.get(), selector, argument);
}

// [NSObject cancelPreviousPerformRequestsWithTarget:target]
inline void cancelPreviousPerformRequestsWithTarget(const std::shared_ptr<NSObject>& target)
{
    NSRunLoop::main().cancelPerformRequests(target.get());
}
