#pragma once

#include <cstdint>
#include <memory>
#include <string>

class EKEvent;
class HLProfile;

// Why the scheduler passed an event over for a profile.
enum class HLTraceVerdict {
    // The event is cancelled.
    Cancelled,
    // The event has ended and did not reach the end of the profile's hours.
    OutsideActiveHours,
    // The profile's attendance filter wants another status than the event has.
    Attendance,
    // An all-day event, and the profile ignores all-day events.
    AllDayIgnored,
};

// Trace points of the scheduler and of applying: what the system decided, for a listener that
// wants to explain a day (phonectl today runs a shadow phone and listens). Nobody listens on a
// phone: each trace point is then one load of a null pointer and a branch, and no argument is
// built. Observers are called on the main thread, inside the decision, and must not call back
// into the system other than to read the profile they are given.
class HLTraceObserver {
public:
    virtual ~HLTraceObserver() = default;

    // HLProfile::apply / revert: the profile goes on, or off (quiet: without its end tone and
    // without waking the screen).
    virtual void profileApplied(HLProfile&) { }
    virtual void profileReverted(HLProfile&, bool quiet) { }
    // HLProfile::refreshSoundSettingsIfRequired on an applied profile; soundReapplied when the
    // volumes no longer matched and were set again.
    virtual void profileRefreshed(HLProfile&, bool soundReapplied) { }
    // The scheduler chose the event that the profile follows now or next.
    virtual void eventChosen(HLProfile&, const EKEvent&) { }
    // The profile is at one of its Wi-Fi networks: its hours alone decide, not its calendar.
    virtual void networkRuleFollowed(HLProfile&, const std::string& ssid) { }
    // A filter of the scheduler passed the event over for the profile.
    virtual void eventPassedOver(HLProfile&, const EKEvent&, HLTraceVerdict) { }
};

// The listener, or null (the default). Set it before the system runs, from the main thread.
extern HLTraceObserver* hl_traceObserver;

namespace HLTrace {

inline HLTraceObserver* observer() { return hl_traceObserver; }
void setObserver(HLTraceObserver*);

}

// Calls the observer's method when someone listens; the arguments are evaluated only then.
#define HL_TRACE(call)                                      \
    do {                                                    \
        if (HLTraceObserver* hlTraceObserver_ = HLTrace::observer()) \
            hlTraceObserver_->call;                         \
    } while (0)
