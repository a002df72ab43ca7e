#include "platform/foundation/Clock.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/SharedClockReader.h"

#include <ctime>
#include <exception>
#include <mutex>

namespace {

std::mutex& clockMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Clock> startingClock()
{
    try {
        if (auto shared = SharedClockReader::open(DeviceRoot::path()))
            return shared;
    } catch (const std::exception&) {
        // No usable device root (the current folder is gone): the system clock.
    }
    return std::make_shared<SystemClock>();
}

std::shared_ptr<Clock>& installedClock()
{
    static std::shared_ptr<Clock> clock = startingClock();
    return clock;
}

}

NSTimeInterval SystemClock::now() const
{
    struct timespec ts { };
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<NSTimeInterval>(ts.tv_sec) + static_cast<NSTimeInterval>(ts.tv_nsec) / 1e9;
}

Clock& Clock::process()
{
    std::lock_guard lock(clockMutex());
    return *installedClock();
}

void Clock::install(std::shared_ptr<Clock> clock)
{
    std::lock_guard lock(clockMutex());
    installedClock() = std::move(clock);
}

std::shared_ptr<VirtualClock> Clock::installVirtual(NSTimeInterval start)
{
    auto clock = std::make_shared<VirtualClock>(start);
    install(clock);
    return clock;
}

void Clock::installSystem()
{
    install(std::make_shared<SystemClock>());
}
