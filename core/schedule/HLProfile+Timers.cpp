#include "core/profile/HLProfile.h"

#include "core/HLLog.h"
#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "platform/persistentconnection/PCSimpleTimer.h"

namespace {

constexpr const char* kWakeUpService = "com.velloq.hushline";

// Timers are armed on the main run loop: at once on the main thread, else by a block on the
// main queue (so the timer may be armed after the caller returned).
void scheduleOnMainRunLoop(const std::shared_ptr<PCSimpleTimer>& timer)
{
    if (!timer)
        return;
    if (NSThread::isMainThread()) {
        timer->scheduleInRunLoop(NSRunLoop::main());
        return;
    }
    dispatch_async(dispatch_get_main_queue(), [timer] { timer->scheduleInRunLoop(NSRunLoop::main()); });
}

void invalidateAndClear(std::shared_ptr<PCSimpleTimer>& timer)
{
    if (!timer)
        return;
    timer->invalidate();
    timer.reset();
}

}

std::shared_ptr<PCSimpleTimer> HLProfile::timerWithDate(const std::optional<NSDate>& date)
{
    if (!date || NSDate::date() > *date) {
        HLLogError("Supplied Date '%s' is invalid or in the past..", date ? date->description().c_str() : "(null)");
        return nullptr;
    }
    return PCSimpleTimer::initWithFireDate(*date, kWakeUpService, HLProfilesManager::sharedManagerObject(), "schedulePowerEvent:",
        PCSimpleTimer::action(&HLProfilesManager::schedulePowerEvent), { { "ProfileIdentifier", identifier() } });
}

std::shared_ptr<PCSimpleTimer> HLProfile::timerForDate(const std::optional<NSDate>& date)
{
    if (!m_timer)
        m_timer = timerWithDate(date);
    return m_timer;
}

void HLProfile::beginTimerForDate(const std::optional<NSDate>& date)
{
    stopTimer();
    scheduleOnMainRunLoop(timerForDate(date));
}

void HLProfile::stopTimer()
{
    invalidateAndClear(m_timer);
}

const std::shared_ptr<PCSimpleTimer>& HLProfile::startTimer()
{
    if (!m_startTimer)
        m_startTimer = timerWithDate(startDate());
    return m_startTimer;
}

const std::shared_ptr<PCSimpleTimer>& HLProfile::endTimer()
{
    if (!m_endTimer)
        m_endTimer = timerWithDate(endDate());
    return m_endTimer;
}

void HLProfile::beginStartTimer()
{
    scheduleOnMainRunLoop(startTimer());
}

void HLProfile::beginEndTimer()
{
    scheduleOnMainRunLoop(endTimer());
}

void HLProfile::stopStartTimer()
{
    invalidateAndClear(m_startTimer);
}

void HLProfile::stopEndTimer()
{
    invalidateAndClear(m_endTimer);
}

void HLProfile::scheduleTimerForProfileStartDate()
{
    beginStartTimer();
    beginEndTimer();
}

void HLProfile::scheduleTimerForProfileEndDate()
{
    stopEndTimer();
    beginEndTimer();
}

void HLProfile::scheduleTimers()
{
    scheduleTimerForProfileStartDate();
    scheduleTimerForProfileEndDate();
}

void HLProfile::stopTimers()
{
    stopStartTimer();
    stopEndTimer();
}

void HLProfile::scheduleTimer(const NSDate& date)
{
    if (date.isEqualToDate(startDate()))
        scheduleTimerForProfileStartDate();
    else if (date.isEqualToDate(endDate()))
        scheduleTimerForProfileEndDate();
    else
        HLLogError("Invalid date supplied hence ignoring schedule timers call...");
}
