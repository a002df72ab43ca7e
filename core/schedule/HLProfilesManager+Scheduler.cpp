#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/apply/EKEvent+Apply.h"
#include "core/profile/EKEvent+Hushline.h"
#include "core/schedule/HLEventManager.h"
#include "core/schedule/HLEventWindow.h"
#include "core/schedule/HLSchedulingFacts.h"
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

// The event the profile follows so far, as the decision compares it with the chosen one.
std::optional<HLFollowedEvent> followedEvent(const std::shared_ptr<EKEvent>& current, const std::shared_ptr<EKEvent>& next)
{
    if (!current || !next)
        return std::nullopt;
    return HLFollowedEvent { hl_eventFacts(*current), hl_isProfileApplied(current), sameProfile(current, next), next->UUID() == current->UUID() };
}

// Remembers `next` as the one event the profile follows and hands it to the power-event step.
void follow(HLProfilesManager& manager, const std::shared_ptr<HLProfile>& profile, const std::shared_ptr<EKEvent>& next)
{
    auto& entry = manager.scheduledEventsDict()[profile->identifier()];
    if (!entry.empty())
        entry[0] = next;
    else
        entry.push_back(next);
    HL_TRACE(eventChosen(*profile, *next));
    manager.schedulePowerEvent(profile, next);
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
    auto currentProfile = current ? hl_profile(current) : nullptr;
    auto decision = HLSchedulingDecision::follow(next ? std::optional(hl_eventFacts(*next)) : std::nullopt, followedEvent(current, next),
        force, !(currentProfile && next && currentProfile->hasChanged(hl_profile(next))), hl_isOpen(NSDate::date(), profile->startDate(), profile->endDate()));

    switch (decision.step) {
    case HLFollowStep::NothingToFollow:
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
    case HLFollowStep::KeepUnchanged:
        HLLogInfo("There is no change in the current scheduled event, hence ignoring the 'scheduleEvents:' call.");
        return;
    case HLFollowStep::KeepAndRefresh:
    case HLFollowStep::Follow:
        break;
    }
    if (decision.profileUnchanged == true)
        HLLogInfo("No changes detected between the current event's profile and to be scheduled event's profile.");
    if (decision.profileUnchanged == false)
        HLLogInfo("Seems profiles are changed, hence not ignoring the schedule events call.");
    if (decision.step == HLFollowStep::KeepAndRefresh) {
        NSDate now = NSDate::date();
        HLLogInfo("Current profile is applied, and current time %s is between start time %s and end time %s. Hence ignoring the 'scheduleEvents:' call.",
            now.description().c_str(), profile->startDate().description().c_str(), profile->endDate().description().c_str());
        profile->refreshSoundSettingsIfRequired();
        return;
    }
    // When the next event begins inside the one it replaces, the profile goes quietly: no end
    // alert between two meetings that follow each other.
    if (currentProfile) {
        currentProfile->setSilent(decision.quietRevertFirst);
        if (decision.quietRevertFirst) {
            revertProfile(current, true);
            currentProfile->setSilent(false);
        }
    }
    follow(*this, profile, next);
}

std::shared_ptr<EKEvent> HLProfilesManager::eventToBeScheduled(const std::optional<Events>& events)
{
    auto owner = events && !events->empty() ? hl_profile(events->front()) : nullptr;
    if (!owner)
        return nullptr;
    const Events& list = *events;
    auto logTimeCheck = [](const EKEvent& event) {
        NSLog("***** Checking whether the event start date: %s and end dates %s with current time..",
            event.startDate().description().c_str(), event.endDate().description().c_str());
    };
    auto choice = HLSchedulingDecision::chooseEvent(hl_profileFacts(*owner), hl_eventFacts(list), NSDate::date());
    for (const auto& passed : choice.passedOver) {
        const EKEvent& event = *list[passed.index];
        bool first = !passed.secondLook;
        switch (passed.reason) {
        case HLPassReason::Cancelled:
            if (first) {
                HLLogInfo("**** 3. Event '%s' is cancelled, hence ignoring it.", event.title().c_str());
                HL_TRACE(eventPassedOver(*owner, event, HLTraceVerdict::Cancelled));
            } else {
                HLLogInfo("**** 4. Event '%s' is cancelled, hence ignoring it.", event.title().c_str());
            }
            break;
        case HLPassReason::Attendance:
            // An event the attendance filter refuses is passed over when choosing, so that it
            // cannot stand in the way of a later event of the day that the profile does follow.
            HL_TRACE(eventPassedOver(*owner, event, HLTraceVerdict::Attendance));
            if (first)
                HLLogInfo("********************* UNBALE TO TURN ON PROFILE, Profile Status: %ld & Event Status: %ld ******************",
                    static_cast<long>(owner->applyProfileEventStatus()), static_cast<long>(event.status()));
            break;
        case HLPassReason::OutsideHours:
            logTimeCheck(event);
            break;
        case HLPassReason::AllDayIgnored:
            if (first)
                HL_TRACE(eventPassedOver(*owner, event, HLTraceVerdict::AllDayIgnored));
            break;
        case HLPassReason::Past:
            break;
        }
    }
    if (!choice.chosen)
        return nullptr;
    if (choice.chosenByFirstLook && !list[*choice.chosen]->isAllDay())
        logTimeCheck(*list[*choice.chosen]);
    return list[*choice.chosen];
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
