#include "platform/foundation/DispatchQueue.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSRunLoop.h"

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

class MainQueue final : public DispatchQueue {
public:
    void async(std::function<void()> block) override { NSRunLoop::main().performBlock(std::move(block)); }
    void after(NSDate date, std::function<void()> block) override { NSRunLoop::main().performBlockAtDate(date, std::move(block)); }
};

// One worker thread, started with the first block. It is never joined: it waits for work for
// as long as the process lives.
class GlobalQueue final : public DispatchQueue {
public:
    void async(std::function<void()> block) override
    {
        if (!block)
            return;
        std::lock_guard lock(m_mutex);
        if (!m_started) {
            std::thread([this] { work(); }).detach();
            m_started = true;
        }
        m_blocks.push_back(std::move(block));
        m_ready.notify_one();
    }

    // The delay is measured on the process clock, which the main run loop follows (the virtual
    // clock moves only there); when it is over, the block joins this queue.
    void after(NSDate date, std::function<void()> block) override
    {
        NSRunLoop::main().performBlockAtDate(date, [this, block = std::move(block)]() mutable { async(std::move(block)); });
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> block;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return !m_blocks.empty(); });
                block = std::move(m_blocks.front());
                m_blocks.pop_front();
            }
            block();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_blocks;
    bool m_started { false };
};

}

DispatchQueue& DispatchQueue::main()
{
    static MainQueue* queue = new MainQueue();
    return *queue;
}

DispatchQueue& DispatchQueue::global()
{
    static GlobalQueue* queue = new GlobalQueue();
    return *queue;
}

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta)
{
    if (std::isinf(when.date))
        return DISPATCH_TIME_FOREVER;
    NSTimeInterval base = when.isNow ? Clock::process().now() : when.date;
    return { false, base + static_cast<NSTimeInterval>(delta) / static_cast<NSTimeInterval>(NSEC_PER_SEC) };
}

dispatch_queue_t dispatch_get_main_queue()
{
    return &DispatchQueue::main();
}

dispatch_queue_t dispatch_get_global_queue(long, unsigned long)
{
    return &DispatchQueue::global();
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block)
{
    if (queue && block)
        queue->async(std::move(block));
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block)
{
    if (!queue || !block || (!when.isNow && std::isinf(when.date)))
        return;
    NSDate date(when.isNow ? Clock::process().now() : when.date);
    queue->after(date, std::move(block));
}
