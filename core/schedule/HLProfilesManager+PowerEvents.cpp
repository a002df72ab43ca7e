#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"
#include "core/HLTrace.h"
#include "core/apply/EKEvent+Apply.h"
#include "core/profile/EKEvent+Hushline.h"
#include "core/schedule/HLEventWindow.h"
#include "core/schedule/HLSchedulingFacts.h"
#include "core/schedule/HLWiFiManager.h"
#include "core/NSDate+HLAdditions.h"
#include "platform/eventkit/EKEvent.h"

namespace {

// The operation on whose behalf its event step logs.
constexpr const char* kProcessScheduledEvent = "HLProfilesManager::processScheduledEvent";

std::string text(const NSDate& date)
{
    return date.description();
}

std::string describe(const std::shared_ptr<EKEvent>& event)
{
    return event ? event->description() : "(null)";
}

}

void HLProfilesManager::schedulePowerEvent(const std::shared_ptr<HLProfile>& profile, std::shared_ptr<EKEvent> event)
{
    if (!event)
        event = getCurrentScheduledEventFromProfile(profile);
    if (!event) {
        HLLogError("****************** Event is nil, hence returning ****************");
        return;
    }
    if (!event->isAllDay() && event->status() != EKEventStatusCanceled)
        HLLogInfo("******Scheduling power events for %s", describe(event).c_str());
    auto owner = hl_profile(event);
    NSDate now = NSDate::date();
    auto facts = hl_profileFacts(*profile);
    facts.applied = owner && owner->isApplied();
    auto decision = HLSchedulingDecision::powerEvent(facts, hl_eventFacts(*event), now);
    switch (decision.step) {
    case HLPowerStep::Cancelled:
        HLLogInfo("**** 5. Event '%s' is cancelled, hence ignoring it.", event->title().c_str());
        return;
    case HLPowerStep::DecideAllDayNow:
        HLLogInfo("Scheduling event now is: %s", describe(event).c_str());
        processScheduledEvent(profile);
        return;
    case HLPowerStep::AllDayIgnored:
        return;
    case HLPowerStep::DecideNow:
        processScheduledEvent(profile);
        return;
    case HLPowerStep::Outdated:
        HLLogInfo("********* Event %s seems to be out dated, hence not scheduling it.", describe(event).c_str());
        break;
    case HLPowerStep::WakeAtEventStart:
        HLLogInfo("******** Scheduling power wakeup at: %s for applying profile.", text(*decision.wakeAt).c_str());
        break;
    case HLPowerStep::WakeAtWindowStart:
        HLLogInfo("****** Profile's start ime is not crossed, hence scheduling power wakeup at: %s for applying profile.", text(*decision.wakeAt).c_str());
        break;
    case HLPowerStep::WindowPassed:
        HLLogInfo("******* Event %s seems to be out dated, hence not scheduling it.", describe(event).c_str());
        if (decision.revert)
            HLLogInfo("******** Seems event is running/out, but the profile is still applied hence reverting it.");
        break;
    }
    if (decision.wakeAt)
        registerForPowerNotifications(decision.wakeAt, owner);
    if (decision.revert)
        revertProfile(event);
}

void HLProfilesManager::processScheduledEvent(const std::shared_ptr<HLProfile>& profile)
{
    auto facts = hl_profileFacts(*profile);
    NSDate now = NSDate::date();
    if (facts.wifiEnabled) {
        auto joined = HLWiFiManager::ssidOf(HLWiFiManager::sharedManager().currentNetWork());
        HLLogInfo("********* Checking whether the network *** '%s' *** is in enabled list or not.", joined ? joined->c_str() : "(null)");
        facts.atOwnNetwork = profile->hasWiFiNetwork(joined);
        if (facts.atOwnNetwork) {
            HL_TRACE(networkRuleFollowed(*profile, *joined));
            if (!facts.allDay) {
                double startDiff = facts.windowStart.timeIntervalSinceDate(now);
                HLLogInfo("startTimeDiff: %f & startTimeDiffInt: %ld", startDiff, static_cast<long>(hl_wholeSeconds(startDiff)));
                double endDiff = facts.windowEnd.timeIntervalSinceDate(now);
                HLLogInfo("endTimeDiff: %f & endTimeDiffInt: %ld", endDiff, static_cast<long>(hl_wholeSeconds(endDiff)));
            }
            auto decision = HLSchedulingDecision::atNetwork(facts, now);
            if (decision.step == HLNetworkStep::Apply && !facts.allDay) {
                HLLogInfo("********************* TURNING PROFILE ON ******************");
                HLLogInfo("Applying profile: %s", profile->description().c_str());
            }
            if (decision.step == HLNetworkStep::Apply)
                profile->apply();
            if (decision.step == HLNetworkStep::Revert) {
                HLLogInfo("********************* TURNING PROFILE OFF ******************");
                profile->revert();
            }
            if (decision.wakeAt && decision.step == HLNetworkStep::Apply)
                HLLogInfo("Scheduling power wakeup at: %s for reverting profile.", text(*decision.wakeAt).c_str());
            if (decision.wakeAt && decision.step == HLNetworkStep::Revert)
                HLLogInfo("Scheduling power wakeup for 'WiFi' at: %s for applying profile.", text(*decision.wakeAt).c_str());
            if (decision.wakeAt)
                registerForPowerNotifications(decision.wakeAt, profile);
            return;
        }
    }
    processFollowedEvent(profile, facts, facts.wifiEnabled && facts.applied);
}

void HLProfilesManager::processFollowedEvent(const std::shared_ptr<HLProfile>& profile, const HLProfileFacts& facts, bool appliedByLeftNetwork)
{
    HLLogInfoFor(kProcessScheduledEvent, "**** Calling 'getCurrentScheduledEventFromProfile' *************");
    auto event = getCurrentScheduledEventFromProfile(profile);
    if (!event) {
        HLLogErrorFor(kProcessScheduledEvent, "****************** Event is nil, hence returning ****************");
        return;
    }
    NSDate now = NSDate::date();
    auto decision = HLSchedulingDecision::atEvent(facts, hl_eventFacts(*event), hl_isProfileApplied(event), appliedByLeftNetwork, now);
    if (decision.step == HLEventStep::AttendanceRefused) {
        HL_TRACE(eventPassedOver(*profile, *event, HLTraceVerdict::Attendance));
        HLLogInfoFor(kProcessScheduledEvent, "********************* UNBALE TO TURN ON PROFILE, Profile Status: %ld & Event Status: %ld ******************",
            static_cast<long>(facts.attendance), static_cast<long>(event->status()));
        return;
    }
    if (!event->isAllDay()) {
        HLLogInfoFor(kProcessScheduledEvent, "Processing scheduled event: %s", describe(event).c_str());
        double startDiff = event->startDate().timeIntervalSinceDate(now);
        HLLogInfoFor(kProcessScheduledEvent, "[currentEvent.startDate timeIntervalSinceNow]: %f & startTimeDiffInt: %ld", startDiff, static_cast<long>(hl_wholeSeconds(startDiff)));
        double endDiff = event->endDate().timeIntervalSinceDate(now);
        HLLogInfoFor(kProcessScheduledEvent, "[currentEvent.endDate timeIntervalSinceNow]: %f & endTimeDiffInt: %ld", endDiff, static_cast<long>(hl_wholeSeconds(endDiff)));
    }
    switch (decision.step) {
    case HLEventStep::TurnOn:
        HLLogInfoFor(kProcessScheduledEvent, "********************* TURNING PROFILE ON ******************");
        applyProfile(event);
        HLLogInfoFor(kProcessScheduledEvent, "************* Scheduling power wakeup at: %s for reverting profile.", text(*decision.wakeAt).c_str());
        registerForPowerNotifications(decision.wakeAt, profile);
        return;
    case HLEventStep::TurnOff:
        HLLogInfoFor(kProcessScheduledEvent, "********************* TURNING PROFILE OFF ******************");
        revertProfile(event);
        HLLogInfoFor(kProcessScheduledEvent, "Calling schedule evetns from %s", kProcessScheduledEvent);
        schedulePowerEventsForProfiles();
        removeEventFromScheduledList(profile, event);
        return;
    case HLEventStep::RevertForLeftNetwork:
        profile->revert();
        removeEventFromScheduledList(profile, event);
        return;
    case HLEventStep::AttendanceRefused:
    case HLEventStep::Nothing:
        return;
    }
}

void HLProfilesManager::registerForPowerNotifications(const std::optional<NSDate>& date, const std::shared_ptr<HLProfile>& profile)
{
    HLLogInfo("******** Scheduling timer for %s ***************", date ? text(*date).c_str() : "(null)");
    if (profile)
        profile->beginTimerForDate(date);
}
