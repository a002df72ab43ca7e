#pragma once

#include "apps/phonectl/TodayEvent.h"
#include "core/HLTrace.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Listens to the trace points of a shadow phone's day and keeps, in time order, each moment at
// which a profile was applied, reverted or refreshed, with why; and, per profile, the verdicts of
// the scheduler's filters on the events it passed over.
//
// Why a profile went on is what the scheduler last decided for it: the event it chose, or the
// Wi-Fi network whose rule it follows. Why it went off is told from what it went on for: the
// event has ended, the active hours have ended, the day has ended (midnight); a quiet revert
// followed at once by the next apply hands the phone over to the next event.
class TodayRecorder final : public HLTraceObserver {
public:
    enum class Action { Applied, Reverted, RevertedQuietly, Refreshed };

    struct Moment {
        NSDate date;
        int64_t profile { 0 };
        std::string title;
        Action action { Action::Applied };
        // Whether the revert sounds the profile's end tone.
        bool endTone { false };
        // { "kind": "event" | "network" | "eventEnded" | "activeHoursEnded" | "midnight" |
        //   "nextEvent" | "start" (on when the look began, and nothing keeps it on) | "none",
        //   plus "event", "next", "network", "hoursEnd" as they apply }.
        PlistDictionary because;
        // Found by the shadow phone's own start-up: the real phone does the same at its next pass,
        // which may come later than the moment the look began.
        bool atStart { false };
    };

    explicit TodayRecorder(NSDate dayEnd) : m_dayEnd(dayEnd) { }

    void profileApplied(HLProfile&) override;
    void profileReverted(HLProfile&, bool quiet) override;
    void profileRefreshed(HLProfile&, bool soundReapplied) override;
    void eventChosen(HLProfile&, const EKEvent&) override;
    void networkRuleFollowed(HLProfile&, const std::string& ssid) override;
    void eventPassedOver(HLProfile&, const EKEvent&, HLTraceVerdict) override;

    // The start-up of the shadow phone reverts what the real phone has applied and applies it
    // again: between these two calls moments are only noted, and endLaunch keeps, per profile,
    // only the change between its state before and after (none when it is the same).
    void beginLaunch() { m_launching = true; }
    void endLaunch(const std::map<int64_t, bool>& appliedBefore, const std::map<int64_t, bool>& appliedAfter);

    // The moments in time order (ties in the order they happened), quiet reverts that hand over
    // to the next event marked so.
    std::vector<Moment> moments() const;
    // The profiles that were on when the look began, with what they were on for.
    const std::vector<Moment>& appliedAtStart() const { return m_appliedAtStart; }

    // Whether the profile was applied for the occurrence.
    bool actedUpon(int64_t profile, const std::string& eventKey) const;
    // The first filter verdict on the occurrence for the profile.
    std::optional<HLTraceVerdict> verdict(int64_t profile, const std::string& eventKey) const;
    // The networks whose rule the profile followed.
    std::set<std::string> networksFollowed(int64_t profile) const;
    // The spans during which the profile was applied (the last one open until the day's end).
    std::vector<std::pair<NSDate, NSDate>> appliedSpans(int64_t profile) const;

private:
    struct Context {
        std::optional<TodayEvent> event;
        std::optional<std::string> network;
    };

    static PlistDictionary causeOf(const Context&);
    PlistDictionary revertCause(HLProfile&, const Context& appliedFor) const;
    void record(Moment);

    NSDate m_dayEnd;
    bool m_launching { false };
    std::map<int64_t, Context> m_lastDecision;
    std::map<int64_t, Context> m_appliedFor;
    std::map<int64_t, std::set<std::string>> m_acted;
    std::map<int64_t, std::map<std::string, HLTraceVerdict>> m_verdicts;
    std::map<int64_t, std::set<std::string>> m_networks;
    std::vector<Moment> m_moments;
    std::vector<Moment> m_launchMoments;
    std::vector<Moment> m_appliedAtStart;
};
