#include "platform/foundation/NSTimer.h"

#include "platform/foundation/NSRunLoop.h"

#include <algorithm>
#include <cmath>

namespace {

// A repeating timer fires at most this often, as on the phone.
constexpr NSTimeInterval kMinimumRepeatInterval = 0.0001;

}

NSTimer::NSTimer(NSDate fireDate, NSTimeInterval interval, bool repeats, Handler handler, PlistValue userInfo)
    : m_fireDate(fireDate.timeIntervalSince1970())
    , m_interval(repeats ? std::max(interval, kMinimumRepeatInterval) : interval)
    , m_repeats(repeats)
    , m_handler(std::make_shared<Handler>(std::move(handler)))
    , m_userInfo(std::move(userInfo))
{
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, bool repeats, Handler handler)
{
    return std::make_shared<NSTimer>(NSDate::dateWithTimeIntervalSinceNow(interval), interval, repeats, std::move(handler));
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Handler handler)
{
    auto timer = timerWithTimeInterval(interval, repeats, std::move(handler));
    scheduleOnMainRunLoop(timer);
    return timer;
}

void NSTimer::scheduleOnMainRunLoop(const std::shared_ptr<NSTimer>& timer)
{
    NSRunLoop::main().addTimer(timer);
}

NSTimeInterval NSTimer::nextFireDate(NSTimeInterval fired, NSTimeInterval now) const
{
    NSTimeInterval next = fired + m_interval;
    if (next <= now)
        next = fired + m_interval * (std::floor((now - fired) / m_interval) + 1);
    return next;
}

void NSTimer::fire()
{
    std::shared_ptr<Handler> handler;
    NSRunLoop* loop = m_runLoop.load();
    if (loop) {
        std::lock_guard lock(loop->m_mutex);
        handler = m_handler;
    } else {
        handler = m_handler;
    }
    if (!m_valid || !handler || !*handler)
        return;
    (*handler)(*this);
    if (!m_repeats)
        invalidate();
}

void NSTimer::invalidate()
{
    // Declared first, released last: the queue entry may hold the last reference to this timer.
    NSRunLoop::Item removed;
    std::shared_ptr<Handler> handler;
    NSRunLoop* loop = m_runLoop.load();
    if (!loop) {
        m_valid = false;
        handler = std::move(m_handler);
        return;
    }
    std::lock_guard lock(loop->m_mutex);
    m_valid = false;
    if (m_key) {
        auto node = loop->m_queue.extract(*m_key);
        if (node)
            removed = std::move(node.mapped());
        m_key.reset();
    }
    handler = std::move(m_handler);
    m_runLoop = nullptr;
}

NSDate NSTimer::fireDate() const
{
    NSRunLoop* loop = m_runLoop.load();
    if (!loop)
        return NSDate(m_fireDate);
    std::lock_guard lock(loop->m_mutex);
    return NSDate(m_fireDate);
}

void NSTimer::setFireDate(NSDate date)
{
    NSRunLoop* loop = m_runLoop.load();
    if (!loop) {
        m_fireDate = date.timeIntervalSince1970();
        return;
    }
    // Taken before the old queue entry goes, which may hold the last other reference.
    auto self = std::static_pointer_cast<NSTimer>(shared_from_this());
    {
        std::lock_guard lock(loop->m_mutex);
        m_fireDate = date.timeIntervalSince1970();
        if (!m_valid)
            return;
        if (m_firing)
            m_rearmed = true;
        if (m_key)
            loop->m_queue.erase(*m_key);
        m_key = loop->insertLocked(m_fireDate, NSRunLoop::Item::forTimer(self));
    }
    loop->wake();
}
