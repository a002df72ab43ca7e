#include "core/schedule/HLSchedulingDecision.h"

#include "core/NSDate+HLAdditions.h"
#include "core/schedule/HLEventWindow.h"
#include "platform/eventkit/EKEvent.h"

bool HLEventFacts::isCancelled() const
{
    return status == EKEventStatusCanceled;
}

namespace HLSchedulingDecision {

namespace {

bool windowOpen(const HLProfileFacts& profile, const NSDate& now)
{
    return hl_isOpen(now, profile.windowStart, profile.windowEnd);
}

// The first look: an event that runs now or concerns the profile's hours, in the store's order.
void chooseRunning(const HLProfileFacts& profile, const std::vector<HLEventFacts>& events, const NSDate& now, HLEventChoice& choice)
{
    for (size_t i = 0; i < events.size(); ++i) {
        const auto& event = events[i];
        if (event.isCancelled()) {
            choice.passedOver.push_back({ i, HLPassReason::Cancelled, false });
            continue;
        }
        if (!passesAttendance(profile, event)) {
            choice.passedOver.push_back({ i, HLPassReason::Attendance, false });
            continue;
        }
        bool taken = event.allDay
            ? !profile.allDayEventsIgnored
            : (hl_isOpen(now, event.start, event.end)
                  || (!profile.allDay && hl_eventConcernsWindow(event.start, event.end, profile.windowStart, profile.windowEnd, now)));
        if (taken) {
            choice.chosen = i;
            choice.chosenByFirstLook = true;
            return;
        }
        choice.passedOver.push_back({ i, event.allDay ? HLPassReason::AllDayIgnored : HLPassReason::OutsideHours, false });
    }
}

// The second look: the earliest event still to come; of equal starts the later one in the
// store's order wins.
void chooseNext(const HLProfileFacts& profile, const std::vector<HLEventFacts>& events, const NSDate& now, HLEventChoice& choice)
{
    for (size_t i = 0; i < events.size(); ++i) {
        const auto& event = events[i];
        std::optional<HLPassReason> reason;
        if (event.isCancelled())
            reason = HLPassReason::Cancelled;
        else if (!passesAttendance(profile, event))
            reason = HLPassReason::Attendance;
        // An ignored all-day event starts at midnight: taken here, it would hide the day's timed
        // events from a pass run at midnight.
        else if (event.allDay && profile.allDayEventsIgnored)
            reason = HLPassReason::AllDayIgnored;
        else if (event.start < now)
            reason = HLPassReason::Past;
        if (reason) {
            choice.passedOver.push_back({ i, *reason, true });
            continue;
        }
        if (!choice.chosen || events[*choice.chosen].start >= event.start)
            choice.chosen = i;
    }
}

bool isOccurring(const HLEventFacts& event, const NSDate& now)
{
    return !event.isCancelled() && hl_isBetweenDate(now, event.start, event.end);
}

NSDate revertMoment(const HLProfileFacts& profile, const HLEventFacts& event)
{
    return profile.allDay || event.end <= profile.windowEnd ? event.end : profile.windowEnd;
}

HLPowerDecision power(HLPowerStep step, std::optional<NSDate> wakeAt = std::nullopt, bool revert = false)
{
    return { step, wakeAt, revert };
}

HLNetworkDecision network(HLNetworkStep step, std::optional<NSDate> wakeAt = std::nullopt)
{
    return { step, wakeAt };
}

HLEventDecision eventStep(HLEventStep step, std::optional<NSDate> wakeAt = std::nullopt)
{
    return { step, wakeAt };
}

HLEventDecision turnOn(const HLProfileFacts& profile, const HLEventFacts& event)
{
    return eventStep(HLEventStep::TurnOn, revertMoment(profile, event));
}

}

bool passesAttendance(const HLProfileFacts& profile, const HLEventFacts& event)
{
    return profile.attendance == 0 || event.status == profile.attendance;
}

HLEventChoice chooseEvent(const HLProfileFacts& profile, const std::vector<HLEventFacts>& events, const NSDate& now)
{
    HLEventChoice choice;
    chooseRunning(profile, events, now, choice);
    if (!choice.chosen)
        chooseNext(profile, events, now, choice);
    return choice;
}

HLFollowDecision follow(const std::optional<HLEventFacts>& chosen, const std::optional<HLFollowedEvent>& followed,
    bool force, bool profileUnchanged, bool windowOpen)
{
    HLFollowDecision decision;
    if (!chosen)
        return decision;
    decision.step = HLFollowStep::Follow;
    if (!followed)
        return decision;
    const auto& old = followed->facts;
    bool sameSlot = followed->sameProfileAsChosen && followed->appliedMark && old.start == chosen->start && old.end == chosen->end;
    if (!force && sameSlot && followed->sameIdentityAsChosen) {
        decision.step = HLFollowStep::KeepUnchanged;
        return decision;
    }
    if (sameSlot) {
        decision.profileUnchanged = profileUnchanged;
        if (profileUnchanged && windowOpen) {
            decision.step = HLFollowStep::KeepAndRefresh;
            return decision;
        }
    }
    decision.quietRevertFirst = followed->sameProfileAsChosen && followed->appliedMark
        && hl_isBetweenDate(chosen->start, old.start, old.end);
    return decision;
}

HLPowerDecision powerEvent(const HLProfileFacts& profile, const HLEventFacts& event, const NSDate& now)
{
    if (event.isCancelled())
        return power(HLPowerStep::Cancelled);
    if (event.allDay)
        return power(profile.allDayEventsIgnored ? HLPowerStep::AllDayIgnored : HLPowerStep::DecideAllDayNow);
    if (profile.allDay || windowOpen(profile, now)) {
        if (hl_isBetweenDate(now, event.start, event.end))
            return power(HLPowerStep::DecideNow);
        if (event.start < now)
            return power(HLPowerStep::Outdated, std::nullopt, profile.applied);
        return power(HLPowerStep::WakeAtEventStart, event.start, profile.applied);
    }
    if (!(profile.windowStart < now))
        return power(HLPowerStep::WakeAtWindowStart, profile.windowStart, profile.applied);
    return power(HLPowerStep::WindowPassed, std::nullopt, profile.applied && profile.windowEnd <= now);
}

HLNetworkDecision atNetwork(const HLProfileFacts& profile, const NSDate& now)
{
    if (!profile.wifiEnabled || !profile.atOwnNetwork)
        return network(HLNetworkStep::NotAtNetwork);
    if (profile.allDay)
        return network(HLNetworkStep::Apply);
    if (hl_isStartMoment(hl_wholeSeconds(profile.windowStart.timeIntervalSinceDate(now))))
        return network(HLNetworkStep::Apply, profile.windowEnd);
    if (hl_isEndMoment(hl_wholeSeconds(profile.windowEnd.timeIntervalSinceDate(now))) || profile.applied)
        return network(HLNetworkStep::Revert, profile.windowStart);
    return network(HLNetworkStep::Nothing);
}

HLEventDecision atEvent(const HLProfileFacts& profile, const HLEventFacts& event, bool appliedMark, bool appliedForLeftNetwork, const NSDate& now)
{
    if (event.allDay) {
        if (profile.allDayEventsIgnored || profile.applied)
            return eventStep(HLEventStep::Nothing);
        return passesAttendance(profile, event) ? turnOn(profile, event) : eventStep(HLEventStep::AttendanceRefused);
    }
    if (!passesAttendance(profile, event))
        return eventStep(HLEventStep::AttendanceRefused);
    bool occurring = isOccurring(event, now);
    if ((hl_isStartMoment(hl_wholeSeconds(event.start.timeIntervalSinceDate(now))) || occurring) && !appliedMark)
        return turnOn(profile, event);
    bool off = hl_isEndMoment(hl_wholeSeconds(event.end.timeIntervalSinceDate(now))) || (!occurring && appliedMark)
        || (appliedMark && event.end >= profile.windowEnd);
    if (off)
        return eventStep(HLEventStep::TurnOff);
    if (appliedForLeftNetwork)
        return eventStep(HLEventStep::RevertForLeftNetwork);
    return eventStep(HLEventStep::Nothing);
}

HLGateDecision wifiGate(const HLProfileFacts& profile, const NSDate& now)
{
    HLGateDecision gate;
    bool open = windowOpen(profile, now);
    if (!profile.wifiEnabled) {
        gate.go = true;
        return gate;
    }
    if (!profile.atOwnNetwork) {
        gate.go = profile.allDay || open;
        if (!gate.go)
            gate.wakeAt = nextWindowMoment(profile, now);
        return gate;
    }
    gate.windowChecked = !profile.allDay;
    if (profile.applied && !profile.allDay && !open) {
        gate.revert = true;
        gate.wakeAt = nextWindowMoment(profile, now);
    } else if (!profile.applied) {
        gate.apply = profile.allDay || open;
        if (!profile.allDay)
            gate.wakeAt = nextWindowMoment(profile, now);
    }
    return gate;
}

NSDate nextWindowMoment(const HLProfileFacts& profile, const NSDate& now)
{
    return profile.windowStart > now ? profile.windowStart : profile.windowEnd;
}

}
