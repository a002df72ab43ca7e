#pragma once

#include "platform/foundation/NSDate.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The scheduler's decisions as functions of plain values: no run loop, no store, no clock. The
// scheduler gathers the facts (the profile's values, the events of its window, the joined network,
// the applied marks, now), asks one of these functions and carries out what comes back: timers,
// applying, reverting, notifications and the log.

// A profile as the decisions see it, read once per decision.
struct HLProfileFacts {
    NSDate windowStart;
    NSDate windowEnd;
    bool allDay { false };
    bool allDayEventsIgnored { false };
    // The attendance the profile follows (an EKEventStatus); 0 follows every event.
    int64_t attendance { 0 };
    bool applied { false };
    bool wifiEnabled { false };
    // The joined network is one of the profile's networks: its hours alone decide.
    bool atOwnNetwork { false };
};

// An event as the decisions see it.
struct HLEventFacts {
    NSDate start;
    NSDate end;
    bool allDay { false };
    int64_t status { 0 };

    bool isCancelled() const;
};

// Why an event was passed over.
enum class HLPassReason {
    Cancelled,
    // A timed event that is not running and no longer concerns the profile's hours.
    OutsideHours,
    // The profile follows another attendance than the event's.
    Attendance,
    AllDayIgnored,
    // Looking for the next event to come: this one has started already.
    Past,
};

// One event passed over, in the order the choice met it. The choice looks twice: first for an
// event that runs now or concerns the hours, then for the earliest one to come (`secondLook`).
struct HLPassedOver {
    size_t index { 0 };
    HLPassReason reason { HLPassReason::Cancelled };
    bool secondLook { false };

    bool operator==(const HLPassedOver&) const = default;
};

struct HLEventChoice {
    // The index of the event the profile follows now or next.
    std::optional<size_t> chosen;
    // Chosen by the first look (it runs or concerns the hours), not as the next to come.
    bool chosenByFirstLook { false };
    std::vector<HLPassedOver> passedOver;
};

// What a new pass does with the event it chose, given the one the profile followed so far.
enum class HLFollowStep {
    // No event: revert the profile if applied and forget the event followed so far.
    NothingToFollow,
    // The same event, still applied: nothing to do.
    KeepUnchanged,
    // The same slot and an unchanged profile inside its hours: only its sounds are refreshed.
    KeepAndRefresh,
    // Follow the chosen event (after a quiet revert of the old one when `quietRevertFirst`).
    Follow,
};

// The event the profile follows so far, as the scheduled list holds it.
struct HLFollowedEvent {
    HLEventFacts facts;
    bool appliedMark { false };
    bool sameProfileAsChosen { true };
    bool sameIdentityAsChosen { false };
};

struct HLFollowDecision {
    HLFollowStep step { HLFollowStep::NothingToFollow };
    // Set when the chosen event takes the same slot as the followed one: whether the profile
    // kept its hours and calendars.
    std::optional<bool> profileUnchanged;
    // The chosen event begins inside the applied one it replaces: no end alert between two
    // meetings that follow each other.
    bool quietRevertFirst { false };
};

// The step taken for the event a profile follows.
enum class HLPowerStep {
    Cancelled,
    // An all-day event: decide on it now, or not at all when the profile ignores all-day events.
    DecideAllDayNow,
    AllDayIgnored,
    // The event runs inside the profile's hours: decide on it now.
    DecideNow,
    // The event is over.
    Outdated,
    WakeAtEventStart,
    WakeAtWindowStart,
    // The profile's hours are over for today.
    WindowPassed,
};

struct HLPowerDecision {
    HLPowerStep step { HLPowerStep::Cancelled };
    std::optional<NSDate> wakeAt;
    // Revert the profile, which is still applied with nothing left to follow today.
    bool revert { false };
};

// What the profile does at one of its networks, when a wake-up or a pass finds it there.
enum class HLNetworkStep {
    NotAtNetwork,
    Apply,
    Revert,
    Nothing,
};

struct HLNetworkDecision {
    HLNetworkStep step { HLNetworkStep::NotAtNetwork };
    std::optional<NSDate> wakeAt;
};

// What the profile does at the moment of its followed event.
enum class HLEventStep {
    Nothing,
    AttendanceRefused,
    TurnOn,
    TurnOff,
    // The profile was applied for a network the phone has left, and its event is not running.
    RevertForLeftNetwork,
};

struct HLEventDecision {
    HLEventStep step { HLEventStep::Nothing };
    // For TurnOn: when the profile is to be reverted.
    std::optional<NSDate> wakeAt;
};

// The Wi-Fi gate in front of every pass for a profile.
struct HLGateDecision {
    // The calendar decides next; false while the network rule or the hours hold it back.
    bool go { false };
    bool apply { false };
    bool revert { false };
    // Whether the network's hours were compared with now (the log tells it).
    bool windowChecked { false };
    std::optional<NSDate> wakeAt;
};

namespace HLSchedulingDecision {

// An event of the profile's window that runs now or concerns the hours, in the store's order,
// or else the earliest one still to come.
HLEventChoice chooseEvent(const HLProfileFacts&, const std::vector<HLEventFacts>&, const NSDate& now);

// Whether the profile follows every attendance or exactly the event's.
bool passesAttendance(const HLProfileFacts&, const HLEventFacts&);

HLFollowDecision follow(const std::optional<HLEventFacts>& chosen, const std::optional<HLFollowedEvent>& followed,
    bool force, bool profileUnchanged, bool windowOpen);

HLPowerDecision powerEvent(const HLProfileFacts&, const HLEventFacts&, const NSDate& now);

HLNetworkDecision atNetwork(const HLProfileFacts&, const NSDate& now);

HLEventDecision atEvent(const HLProfileFacts&, const HLEventFacts&, bool appliedMark, bool appliedForLeftNetwork, const NSDate& now);

HLGateDecision wifiGate(const HLProfileFacts&, const NSDate& now);

// The window's next edge: its start while that is ahead, else its end.
NSDate nextWindowMoment(const HLProfileFacts&, const NSDate& now);

}
