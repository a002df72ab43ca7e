#pragma once

#include "platform/foundation/NSDate.h"

#include <cstdint>
#include <functional>
#include <limits>

// libdispatch's calls for the queues the system uses: the main queue, which is the main run
// loop (blocks run there in date order, see NSRunLoop), and one global queue that runs blocks
// on a background thread, one after the other. Every call is safe from any thread.
class DispatchQueue {
public:
    virtual ~DispatchQueue() = default;
    virtual void async(std::function<void()>) = 0;
    // Runs the block once the date has come on the process clock.
    virtual void after(NSDate, std::function<void()>) = 0;

    static DispatchQueue& main();
    static DispatchQueue& global();
};

using dispatch_queue_t = DispatchQueue*;
using dispatch_block_t = std::function<void()>;

// A moment on the process clock: "now" or a date. Kept as seconds rather than the phone's
// nanosecond count, so that a delay of 0.8 seconds ends exactly 0.8 seconds after now.
struct dispatch_time_t {
    bool isNow { false };
    NSTimeInterval date { 0 };
};

inline constexpr dispatch_time_t DISPATCH_TIME_NOW { true, 0 };
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER { false, std::numeric_limits<NSTimeInterval>::infinity() };
inline constexpr int64_t NSEC_PER_SEC = 1000000000;
inline constexpr int64_t NSEC_PER_MSEC = 1000000;

inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

// `delta` nanoseconds after `when`.
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
dispatch_queue_t dispatch_get_main_queue();
// Every priority names the same background queue.
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);
void dispatch_async(dispatch_queue_t, dispatch_block_t);
// A moment that never comes (DISPATCH_TIME_FOREVER) drops the block.
void dispatch_after(dispatch_time_t when, dispatch_queue_t, dispatch_block_t);
