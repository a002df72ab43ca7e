#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/apply/EKEvent+Apply.h"
#include "core/profile/EKEvent+Hushline.h"
#include "core/schedule/HLEventManager.h"
#include "core/schedule/HLEventWindow.h"
#include "core/NSDate+HLAdditions.h"
#include "platform/eventkit/EKEvent.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSTimer.h"
#include "platform/persistentconnection/PCSimpleTimer.h"

#include <algorithm>

namespace {

constexpr NSTimeInterval kEventStoreDebounce = 2.5;

std::string titleOf(const std::shared_ptr<HLProfile>& profile)
{
    return profile && profile->title() ? *profile->title() : "(null)";
}

std::string describe(const std::shared_ptr<EKEvent>& event)
{
    return event ? event->description() : "(null)";
}

std::string describe(const HLProfilesManager::Events& events)
{
    PlistArray objects;
    for (const auto& event : events)
        objects.emplace_back(event);
    return PlistValue(std::move(objects)).description();
}

bool sameProfile(const std::shared_ptr<EKEvent>& a, const std::shared_ptr<EKEvent>& b)
{
    auto pa = hl_profile(a), pb = hl_profile(b);
    return (pa ? pa->identifier() : 0) == (pb ? pb->identifier() : 0);
}

bool sameDates(const std::shared_ptr<EKEvent>& a, const std::shared_ptr<EKEvent>& b)
{
    return a->startDate().isEqualToDate(b->startDate()) && a->endDate().isEqualToDate(b->endDate());
}

}

void HLProfilesManager::schedulePowerEventsForProfiles(bool reload)
{
    if (!isHushlineEnabled())
        return;
    if (reload)
        loadProfiles();
    for (const auto& profile : activeProfiles())
        scheduleEvents(profile, reload);
}

void HLProfilesManager::schedulePowerEventsForProfiles()
{
    HLLogInfo("***************** schedulePowerEventsForProfiles is called ********************");
    schedulePowerEventsForProfiles(false);
}

void HLProfilesManager::schedulePowerEvent(const std::shared_ptr<PCSimpleTimer>& timer)
{
    HLLogInfo("************** schedulePowerEvent: %s *****************", timer ? timer->description().c_str() : "(null)");
    int64_t identifier = 0;
    if (timer)
        if (auto it = timer->userInfo().find("ProfileIdentifier"); it != timer->userInfo().end())
            identifier = it->second.longLongValue();
    scheduleEvents(profileByIdentifier(identifier), true);
}

void HLProfilesManager::scheduleEvents(const std::shared_ptr<HLProfile>& profile, bool shouldProceedAnyCase)
{
    if (!profile || !profile->isEnabled()) {
        if (profile && profile->isApplied())
            revertOutsideItsEvent(profile);
        HLLogInfo("Profile '%s' not enabled. Hence returning from scheduling it...", titleOf(profile).c_str());
        return;
    }
    HLLogInfo("**** Trying to schedule events for profile '%s'", titleOf(profile).c_str());
    shceduleWiFiDetected(profile, [this, profile, shouldProceedAnyCase](bool go) {
        scheduleEventsAfterWiFiGate(profile, shouldProceedAnyCase, go);
    });
}

void HLProfilesManager::scheduleEventsAfterWiFiGate(const std::shared_ptr<HLProfile>& profile, bool force, bool go)
{
    if (!go) {
        if (profile->isApplied())
            profile->refreshSoundSettingsIfRequired();
        return;
    }
    auto next = eventToBeScheduled(HLEventManager::sharedManager().eventsForProfile(profile));
    auto current = getCurrentScheduledEventFromProfile(profile);

    if (!next) {
        HLLogInfo("No events found to be scheduled for Profile '%s', between %s & %s", titleOf(profile).c_str(),
            profile->startDate().description().c_str(), profile->endDate().description().c_str());
        if (profile->isApplied())
            profile->revert();
        HLLogInfo("Got current event as: %s", describe(current).c_str());
        if (current) {
            profile->stopTimers();
            removeEventFromScheduledList(profile, current);
        }
        return;
    }

    if (current) {
        bool applied = hl_isProfileApplied(current);
        bool sameSlot = sameProfile(current, next) && applied && sameDates(current, next);
        if (!force && sameSlot && next->UUID() == current->UUID()) {
            HLLogInfo("There is no change in the current scheduled event, hence ignoring the 'scheduleEvents:' call.");
            return;
        }
        auto currentProfile = hl_profile(current);
        if (sameSlot && currentProfile) {
            if (!currentProfile->hasChanged(hl_profile(next))) {
                HLLogInfo("No changes detected between the current event's profile and to be scheduled event's profile.");
                NSDate now = NSDate::date();
                if (hl_isOpen(now, currentProfile->startDate(), currentProfile->endDate())) {
                    HLLogInfo("Current profile is applied, and current time %s is between start time %s and end time %s. Hence ignoring the 'scheduleEvents:' call.",
                        now.description().c_str(), currentProfile->startDate().description().c_str(), currentProfile->endDate().description().c_str());
                    currentProfile->refreshSoundSettingsIfRequired();
                    return;
                }
            } else {
                HLLogInfo("Seems profiles are changed, hence not ignoring the schedule events call.");
            }
        }
        // When the next event begins inside the one it replaces, the profile goes quietly: no end
        // alert between two meetings that follow each other.
        if (currentProfile) {
            bool quiet = sameProfile(current, next) && applied && hl_isBetweenDate(next->startDate(), current->startDate(), current->endDate());
            currentProfile->setSilent(quiet);
            if (currentProfile->isSilent() && applied) {
                revertProfile(current, true);
                currentProfile->setSilent(false);
            }
        }
    }

    auto& entry = m_scheduledEventsDict[profile->identifier()];
    if (!entry.empty())
        entry[0] = next;
    else
        entry.push_back(next);
    HL_TRACE(eventChosen(*profile, *next));
    schedulePowerEvent(profile, next);
}

std::shared_ptr<EKEvent> HLProfilesManager::eventToBeScheduled(const std::optional<Events>& events)
{
    static const Events none;
    const Events& list = events ? *events : none;
    std::shared_ptr<EKEvent> result;

    for (const auto& event : list) {
        if (event->status() == EKEventStatusCanceled) {
            HLLogInfo("**** 3. Event '%s' is cancelled, hence ignoring it.", event->title().c_str());
            if (auto owner = hl_profile(event))
                HL_TRACE(eventPassedOver(*owner, *event, HLTraceVerdict::Cancelled));
            continue;
        }
        if (isFilteredOutByAttendance(event, true))
            continue;
        auto owner = hl_profile(event);
        if (!event->isAllDay()) {
            NSLog("***** Checking whether the event start date: %s and end dates %s with current time..",
                event->startDate().description().c_str(), event->endDate().description().c_str());
            if (hl_isOpen(NSDate::date(), event->startDate(), event->endDate())) {
                result = event;
                break;
            }
            if (!owner || owner->isAllDay())
                continue;
            if (hl_eventConcernsWindow(event->startDate(), event->endDate(), owner->startDate(), owner->endDate(), NSDate::date())) {
                result = event;
                break;
            }
        } else if (owner && !owner->isAllDayEventsIgnored()) {
            result = event;
            break;
        } else if (owner) {
            HL_TRACE(eventPassedOver(*owner, *event, HLTraceVerdict::AllDayIgnored));
        }
    }

    if (!result) {
        NSDate now = NSDate::date();
        for (const auto& event : list) {
            if (event->status() == EKEventStatusCanceled) {
                HLLogInfo("**** 4. Event '%s' is cancelled, hence ignoring it.", event->title().c_str());
                continue;
            }
            if (isFilteredOutByAttendance(event, false))
                continue;
            // An all-day event its profile ignores starts at midnight: taken here, it would only
            // be dropped below and hide the day's timed events from a pass run at midnight.
            if (event->isAllDay() && hl_profile(event) && hl_profile(event)->isAllDayEventsIgnored())
                continue;
            if (event->startDate() < now)
                continue;
            // Of equal starts the later one in the store's order wins.
            if (!result || result->startDate() >= event->startDate())
                result = event;
        }
    }

    if (result && result->isAllDay()) {
        auto owner = hl_profile(result);
        if (owner && owner->isAllDayEventsIgnored()) {
            HL_TRACE(eventPassedOver(*owner, *result, HLTraceVerdict::AllDayIgnored));
            result.reset();
        }
    }
    return result;
}

bool HLProfilesManager::isFilteredOutByAttendance(const std::shared_ptr<EKEvent>& event, bool log)
{
    // An event the profile's attendance filter refuses is passed over when choosing, so that it
    // cannot stand in the way of a later event of the day that the profile does follow.
    auto owner = hl_profile(event);
    int64_t wanted = owner ? owner->applyProfileEventStatus() : 0;
    if (wanted == 0 || event->status() == wanted)
        return false;
    if (owner)
        HL_TRACE(eventPassedOver(*owner, *event, HLTraceVerdict::Attendance));
    if (log)
        HLLogInfo("********************* UNBALE TO TURN ON PROFILE, Profile Status: %ld & Event Status: %ld ******************",
        static_cast<long>(wanted), static_cast<long>(event->status()));
    return true;
}

std::shared_ptr<EKEvent> HLProfilesManager::getCurrentScheduledEventFromProfile(const std::shared_ptr<HLProfile>& profile)
{
    auto it = m_scheduledEventsDict.find(profile->identifier());
    if (it == m_scheduledEventsDict.end()) {
        HLLogWarning("No event found for Profile with id %ld", static_cast<long>(profile->identifier()));
        return nullptr;
    }
    if (it->second.empty())
        return nullptr;
    auto event = it->second.front();
    hl_setProfile(event, profile);
    return event;
}

void HLProfilesManager::removeEventFromScheduledList(const std::shared_ptr<HLProfile>& profile, const std::shared_ptr<EKEvent>& event)
{
    auto it = m_scheduledEventsDict.find(profile->identifier());
    HLLogInfo("******** Removing %s from scheduled list %s", describe(event).c_str(),
        it == m_scheduledEventsDict.end() ? "(null)" : describe(it->second).c_str());
    if (it == m_scheduledEventsDict.end())
        return;
    std::erase_if(it->second, [&](const std::shared_ptr<EKEvent>& e) { return e == event || (e && e->isEqual(event)); });
}

void HLProfilesManager::eventStoreChanged(const NSNotification&)
{
    // The calendar store posts from its own thread: only the debounce timer is replaced here, and
    // the pass itself runs on the main run loop when the timer fires.
    auto timer = NSTimer::initWithFireDate(NSDate::dateWithTimeIntervalSinceNow(kEventStoreDebounce), 0, sharedManagerObject(),
        &HLProfilesManager::handleEventStoreChanges, PlistValue(), false);
    std::shared_ptr<NSTimer> previous;
    {
        std::lock_guard lock(m_eventStoreUpdateTimerMutex);
        previous = std::exchange(m_eventStoreUpdateTimer, timer);
        if (previous)
            previous->invalidate();
        NSRunLoop::main().addTimer(timer);
    }
}

void HLProfilesManager::handleEventStoreChanges(NSTimer&)
{
    {
        std::lock_guard lock(m_eventStoreUpdateTimerMutex);
        if (m_eventStoreUpdateTimer)
            m_eventStoreUpdateTimer->invalidate();
        m_eventStoreUpdateTimer.reset();
    }
    HLLogInfo("***************** Handling event store changes ********************");
    schedulePowerEventsForProfiles();
}

void HLProfilesManager::handleHushlineEnabledOrDisabled()
{
    if (isHushlineEnabled())
        return;
    for (const auto& profile : activeProfiles())
        if (profile->isApplied())
            revertOutsideItsEvent(profile);
}

void HLProfilesManager::revertOutsideItsEvent(const std::shared_ptr<HLProfile>& profile)
{
    // The event stays scheduled but no longer counts as applied: when the profile may act again
    // while the event still runs, the next pass applies it anew instead of taking the phone for
    // quiet already.
    if (auto it = m_scheduledEventsDict.find(profile->identifier()); it != m_scheduledEventsDict.end() && !it->second.empty())
        hl_setProfileApplied(it->second.front(), false);
    profile->revert(false);
}

void HLProfilesManager::revertAppliedProfilesIfAny()
{
    if (m_profiles.empty())
        loadProfiles();
    auto all = m_profiles;
    for (const auto& profile : all)
        if (profile->isApplied())
            profile->revert(true);
}
