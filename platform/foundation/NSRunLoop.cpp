#include "platform/foundation/NSRunLoop.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSTimer.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint64_t kWakeSource = 0;

NSTimeInterval now()
{
    return Clock::process().now();
}

VirtualClock* virtualClock()
{
    return dynamic_cast<VirtualClock*>(&Clock::process());
}

int millisecondsFor(NSTimeInterval seconds)
{
    if (seconds <= 0)
        return 0;
    double ms = std::ceil(seconds * 1000.0);
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

// The wait in milliseconds (negative: no limit) shortened to an observer's limit in seconds.
int shorterWait(int timeoutMs, NSTimeInterval limit)
{
    if (limit < 0)
        return timeoutMs;
    int limitMs = millisecondsFor(limit);
    return timeoutMs < 0 ? limitMs : std::min(timeoutMs, limitMs);
}

bool sameArgument(const std::shared_ptr<NSObject>& a, const std::shared_ptr<NSObject>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->isEqual(b);
}

}

struct NSRunLoop::Observer {
    WaitObserver calls;
    std::atomic<bool> removed { false };
};

NSRunLoop& NSRunLoop::main()
{
    static NSRunLoop* loop = new NSRunLoop();
    return *loop;
}

NSRunLoop::NSRunLoop()
{
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll < 0 || m_wakeFd < 0)
        throw std::runtime_error("run loop: cannot create its epoll or eventfd descriptor");
    epoll_event event { };
    event.events = EPOLLIN;
    event.data.u64 = kWakeSource;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &event);
}

NSRunLoop::~NSRunLoop()
{
    reset();
    close(m_wakeFd);
    close(m_epoll);
}

NSRunLoop::Key NSRunLoop::insertLocked(NSTimeInterval date, Item item)
{
    Key key { date, m_nextSequence++ };
    m_queue.emplace(key, std::move(item));
    return key;
}

void NSRunLoop::wake()
{
    uint64_t one = 1;
    ssize_t ignored = write(m_wakeFd, &one, sizeof one);
    (void)ignored;
}

void NSRunLoop::drainWake()
{
    uint64_t count;
    while (read(m_wakeFd, &count, sizeof count) > 0) { }
}

void NSRunLoop::addTimer(const std::shared_ptr<NSTimer>& timer)
{
    if (!timer)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!timer->m_valid || timer->m_runLoop.load())
            return;
        timer->m_runLoop = this;
        timer->m_key = insertLocked(timer->m_fireDate, Item::forTimer(timer));
    }
    wake();
}

void NSRunLoop::performBlock(Block block)
{
    performBlockAtDate(NSDate(now()), std::move(block));
}

void NSRunLoop::performBlockAtDate(NSDate date, Block block)
{
    if (!block)
        return;
    {
        std::lock_guard lock(m_mutex);
        insertLocked(date.timeIntervalSince1970(), Item::forBlock(std::move(block)));
    }
    wake();
}

void NSRunLoop::performSelector(std::shared_ptr<NSObject> target, std::string selector, std::shared_ptr<NSObject> argument,
    NSTimeInterval delay, Block invocation)
{
    if (!target || !invocation)
        return;
    {
        std::lock_guard lock(m_mutex);
        Item item = Item::forBlock(std::move(invocation));
        item.isPerform = true;
        item.target = std::move(target);
        item.selector = std::move(selector);
        item.argument = std::move(argument);
        insertLocked(now() + delay, std::move(item));
    }
    wake();
}

void NSRunLoop::cancelPerformRequests(const NSObject* target, const std::string& selector, const std::shared_ptr<NSObject>& argument)
{
    // Declared first so that the cancelled invocations are released after the lock (their
    // captures may call back into the loop when they go).
    std::vector<Item> cancelled;
    std::lock_guard lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        const Item& item = it->second;
        if (item.isPerform && item.target.get() == target && item.selector == selector && sameArgument(item.argument, argument)) {
            cancelled.push_back(std::move(it->second));
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
}

void NSRunLoop::cancelPerformRequests(const NSObject* target)
{
    std::vector<Item> cancelled;
    std::lock_guard lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->second.isPerform && it->second.target.get() == target) {
            cancelled.push_back(std::move(it->second));
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
}

NSRunLoop::SourceID NSRunLoop::addSource(int fd, uint32_t events, SourceHandler handler)
{
    std::lock_guard lock(m_mutex);
    SourceID id = m_nextSource++;
    epoll_event event { };
    event.events = events;
    event.data.u64 = id;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0)
        return 0;
    m_sources.emplace(id, Source { fd, std::make_shared<SourceHandler>(std::move(handler)) });
    return id;
}

void NSRunLoop::removeSource(SourceID id)
{
    // Released after the lock. A handler that removes its own source keeps running: the loop
    // holds its own reference while it calls it.
    std::shared_ptr<SourceHandler> released;
    std::lock_guard lock(m_mutex);
    auto it = m_sources.find(id);
    if (it == m_sources.end())
        return;
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, it->second.fd, nullptr);
    released = std::move(it->second.handler);
    m_sources.erase(it);
}

NSRunLoop::ObserverID NSRunLoop::addWaitObserver(WaitObserver calls)
{
    auto observer = std::make_shared<Observer>();
    observer->calls = std::move(calls);
    std::lock_guard lock(m_mutex);
    ObserverID id = m_nextObserver++;
    m_observers.emplace(id, std::move(observer));
    return id;
}

void NSRunLoop::removeWaitObserver(ObserverID id)
{
    // Released after the lock; a turn that holds it sees it removed.
    std::shared_ptr<Observer> released;
    std::lock_guard lock(m_mutex);
    auto it = m_observers.find(id);
    if (it == m_observers.end())
        return;
    released = std::move(it->second);
    released->removed = true;
    m_observers.erase(it);
}

std::vector<std::shared_ptr<NSRunLoop::Observer>> NSRunLoop::observersNow() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<Observer>> observers;
    for (const auto& [id, observer] : m_observers)
        observers.push_back(observer);
    return observers;
}

size_t NSRunLoop::serveSources(int timeoutMs)
{
    auto observers = observersNow();
    for (const auto& observer : observers)
        if (!observer->removed && observer->calls.beforeWait)
            timeoutMs = shorterWait(timeoutMs, observer->calls.beforeWait());
    epoll_event events[16];
    int count;
    do {
        count = epoll_wait(m_epoll, events, 16, timeoutMs);
    } while (count < 0 && errno == EINTR);
    size_t served = 0;
    for (const auto& observer : observers)
        if (!observer->removed && observer->calls.afterWait && observer->calls.afterWait())
            ++served;
    for (int i = 0; i < count; ++i) {
        if (events[i].data.u64 == kWakeSource) {
            drainWake();
            continue;
        }
        std::shared_ptr<SourceHandler> handler;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_sources.find(events[i].data.u64);
            if (it != m_sources.end())
                handler = it->second.handler;
        }
        if (handler && *handler) {
            (*handler)(events[i].events);
            ++served;
        }
    }
    return served;
}

bool NSRunLoop::runFirstDue(NSTimeInterval at, uint64_t maxSequence)
{
    Item item;
    std::shared_ptr<NSTimer::Handler> handler;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_queue.begin();
        if (it == m_queue.end() || it->first.first > at || it->first.second > maxSequence)
            return false;
        NSTimeInterval due = it->first.first;
        item = std::move(it->second);
        m_queue.erase(it);
        if (item.timer) {
            NSTimer& timer = *item.timer;
            timer.m_key.reset();
            handler = timer.m_handler;
            timer.m_firing = true;
            timer.m_rearmed = false;
            if (timer.m_repeats) {
                timer.m_fireDate = timer.nextFireDate(due, at);
                timer.m_key = insertLocked(timer.m_fireDate, Item::forTimer(item.timer));
            }
        }
    }
    if (!item.timer) {
        item.block();
        return true;
    }
    if (handler && *handler)
        (*handler)(*item.timer);
    bool expired;
    {
        std::lock_guard lock(m_mutex);
        item.timer->m_firing = false;
        expired = !item.timer->m_repeats && !item.timer->m_rearmed;
    }
    if (expired)
        item.timer->invalidate();
    return true;
}

int NSRunLoop::waitMilliseconds(NSTimeInterval maxWait) const
{
    int limit = maxWait < 0 ? -1 : millisecondsFor(maxWait);
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return limit;
    NSTimeInterval untilFirst = m_queue.begin()->first.first - now();
    if (untilFirst <= 0)
        return 0;
    // The virtual clock does not move while the loop waits: only a wake-up can bring work.
    if (virtualClock())
        return limit;
    int ms = millisecondsFor(untilFirst);
    return limit < 0 ? ms : std::min(ms, limit);
}

void NSRunLoop::run()
{
    while (!m_stopped.load())
        runOnce(-1);
    m_stopped = false;
}

void NSRunLoop::stop()
{
    m_stopped = true;
    wake();
}

bool NSRunLoop::runOnce(NSTimeInterval maxWait)
{
    size_t ran = serveSources(waitMilliseconds(maxWait));
    uint64_t lastQueued;
    {
        std::lock_guard lock(m_mutex);
        lastQueued = m_nextSequence - 1;
    }
    // Work queued by this turn's handlers waits for the next turn.
    while (runFirstDue(now(), lastQueued))
        ++ran;
    return ran > 0;
}

bool NSRunLoop::runUntilCondition(const std::function<bool()>& condition, double realTimeout)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(realTimeout);
    while (!condition()) {
        auto left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return condition();
        runOnce(std::min(left, 0.05));
    }
    return true;
}

size_t NSRunLoop::runPending()
{
    size_t ran = serveSources(0);
    while (runFirstDue(now(), UINT64_MAX))
        ++ran;
    return ran;
}

void NSRunLoop::advanceBy(NSTimeInterval seconds)
{
    runUntil(NSDate(now() + seconds));
}

void NSRunLoop::runUntil(NSDate date)
{
    NSTimeInterval target = date.timeIntervalSince1970();
    VirtualClock* clock = virtualClock();
    if (!clock) {
        for (NSTimeInterval t = now(); t < target; t = now())
            runOnce(target - t);
        runPending();
        return;
    }
    for (;;) {
        runPending();
        auto next = nextFireDate();
        if (!next || next->timeIntervalSince1970() > target)
            break;
        if (next->timeIntervalSince1970() > clock->now())
            clock->set(next->timeIntervalSince1970());
    }
    if (target > clock->now())
        clock->set(target);
    runPending();
}

std::optional<NSDate> NSRunLoop::nextFireDate() const
{
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return std::nullopt;
    return NSDate(m_queue.begin()->first.first);
}

size_t NSRunLoop::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

void NSRunLoop::reset()
{
    std::map<Key, Item> dropped;
    std::map<SourceID, Source> sources;
    std::map<ObserverID, std::shared_ptr<Observer>> observers;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_queue);
        sources.swap(m_sources);
        observers.swap(m_observers);
        for (auto& [id, observer] : observers)
            observer->removed = true;
        for (auto& [id, source] : sources)
            epoll_ctl(m_epoll, EPOLL_CTL_DEL, source.fd, nullptr);
        for (auto& [key, item] : dropped)
            if (item.timer)
                item.timer->m_key.reset();
    }
    for (auto& [key, item] : dropped)
        if (item.timer)
            item.timer->invalidate();
    drainWake();
}
