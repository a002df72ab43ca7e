#include "platform/persistentconnection/PCSimpleTimer.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/UIDevice.h"
#include "platform/persistentconnection/WakeUpTimerQueue.h"

#include <cstdlib>

namespace {

constexpr double kSeconds1970To2001 = 978307200.0;

}

std::shared_ptr<PCSimpleTimer> PCSimpleTimer::initWithFireDate(NSDate fireDate, std::string serviceIdentifier,
    std::shared_ptr<NSObject> target, std::string selector, Action action, PlistDictionary userInfo)
{
    return std::make_shared<PCSimpleTimer>(fireDate, std::move(serviceIdentifier), std::move(target), std::move(selector),
        std::move(action), std::move(userInfo), false);
}

struct PCSimpleTimerSystem {
    static std::shared_ptr<PCSimpleTimer> initWithAbsoluteTime(double absoluteTime, std::string serviceIdentifier,
        std::shared_ptr<NSObject> target, std::string selector, PCSimpleTimer::Action action, PlistDictionary userInfo,
        bool triggerOnGMTChange)
    {
        return std::make_shared<PCSimpleTimer>(NSDate(absoluteTime + kSeconds1970To2001), std::move(serviceIdentifier),
            std::move(target), std::move(selector), std::move(action), std::move(userInfo), triggerOnGMTChange);
    }
    static void invalidate(PCSimpleTimer& timer) { timer.systemInvalidate(); }
};

HookableMethod<std::shared_ptr<PCSimpleTimer>(double, std::string, std::shared_ptr<NSObject>, std::string, PCSimpleTimer::Action,
    PlistDictionary, bool)>
    PCSimpleTimer::initWithAbsoluteTimeMethod { &PCSimpleTimerSystem::initWithAbsoluteTime };

HookableMethod<void(PCSimpleTimer&)> PCSimpleTimer::invalidateMethod { &PCSimpleTimerSystem::invalidate };

std::shared_ptr<PCSimpleTimer> PCSimpleTimer::initWithAbsoluteTime(double absoluteTime, std::string serviceIdentifier,
    std::shared_ptr<NSObject> target, std::string selector, Action action, PlistDictionary userInfo, bool triggerOnGMTChange)
{
    return initWithAbsoluteTimeMethod(absoluteTime, std::move(serviceIdentifier), std::move(target), std::move(selector),
        std::move(action), std::move(userInfo), triggerOnGMTChange);
}

PCSimpleTimer::PCSimpleTimer(NSDate fireDate, std::string serviceIdentifier, std::shared_ptr<NSObject> target, std::string selector,
    Action action, PlistDictionary userInfo, bool triggerOnGMTChange)
    : m_fireDate(fireDate)
    , m_serviceIdentifier(std::move(serviceIdentifier))
    , m_target(std::move(target))
    , m_selector(std::move(selector))
    , m_action(std::move(action))
    , m_userInfo(std::move(userInfo))
    , m_triggerOnGMTChange(triggerOnGMTChange)
{
}

void PCSimpleTimer::scheduleInRunLoop(NSRunLoop&)
{
    if (!m_valid || m_scheduled)
        return;
    m_scheduled = true;
    WakeUpTimerQueue::shared().schedule(std::static_pointer_cast<PCSimpleTimer>(shared_from_this()));
}

void PCSimpleTimer::invalidate()
{
    invalidateMethod(*this);
}

void PCSimpleTimer::systemInvalidate()
{
    if (!m_valid)
        return;
    m_valid = false;
    if (m_scheduled)
        WakeUpTimerQueue::shared().cancel(this);
    m_target.reset();
    m_action = nullptr;
}

void PCSimpleTimer::fire()
{
    if (!m_valid)
        return;
    // The timer stays valid while its action runs, as the phone's does; then it is spent.
    auto self = std::static_pointer_cast<PCSimpleTimer>(shared_from_this());
    auto target = std::move(m_target);
    auto action = std::move(m_action);
    m_target.reset();
    m_action = nullptr;
    if (action)
        action(target, self);
    m_valid = false;
}

bool PCSimpleTimer::respondsToLoggingIdentifier()
{
    return std::strtod(UIDevice::currentDevice()->systemVersion().c_str(), nullptr) >= 9.0;
}

std::string PCSimpleTimer::description() const
{
    return "<PCSimpleTimer " + m_serviceIdentifier + " fires " + m_fireDate.description() + (m_valid ? "" : " (invalid)") + ">";
}
