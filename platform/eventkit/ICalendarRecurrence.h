#pragma once

#include "platform/eventkit/ICalendarTime.h"

#include <cstdint>
#include <vector>

// The occurrences of a recurring event: its RRULEs and RDATEs less its EXDATEs, expanded with
// libical's recurrence iterator. Expansion is done for a window around what was asked and kept,
// so that the queries of one day (and of the days around it) cost a look-up. A rule without
// COUNT is entered near the asked range rather than walked from its DTSTART; a rule with COUNT
// can only be walked from its start and is expanded whole, once.
//
// Every expansion is bounded (kMaxOccurrences occurrences, kMaxSteps iterator steps): an endless
// or huge rule yields its first occurrences and says so through wasBounded().
class ICalendarRecurrence {
public:
    static constexpr size_t kMaxOccurrences = 20000;
    static constexpr size_t kMaxSteps = 200000;

    struct Exclusions {
        std::vector<int64_t> instants; // EXDATE date-times, as seconds
        std::vector<int32_t> days;     // EXDATE dates (yyyymmdd), compared with an occurrence's own day
    };

    ICalendarRecurrence(ICalendarTime dtstart, std::vector<icalrecurrencetype> rules, std::vector<int64_t> rdates,
        Exclusions exclusions);

    // The original starts of the occurrences that begin within [from, to], ascending.
    std::vector<int64_t> startsBetween(int64_t from, int64_t to);
    // The first occurrence, if there is any.
    std::optional<int64_t> firstStart();

    // Whether an expansion stopped at one of the bounds.
    bool wasBounded() const { return m_bounded; }
    // True once after the first expansion that stopped at a bound, so that it is told once.
    bool takeBoundReport();
    // No occurrence starts before this.
    int64_t earliestStart() const;
    // No occurrence starts after this; nullopt when that cannot be known without expanding
    // (a rule without UNTIL whose expansion is not complete).
    std::optional<int64_t> latestStart() const;

    // What the recurrence was made of, to write it down and make it again.
    const ICalendarTime& dtstart() const { return m_dtstart; }
    const std::vector<icalrecurrencetype>& rules() const { return m_rules; }
    std::vector<int64_t> rdates() const;
    const Exclusions& exclusions() const { return m_exclusions; }

    // What has been expanded so far. Kept with the recurrence (CalendarCache), it spares the next
    // process the walk through libical, which costs far more than anything else of a look at a
    // day; the occurrences depend only on the rule and the device's time zone, which the cache
    // checks.
    struct Expansion {
        std::vector<int64_t> starts;
        int64_t from { 0 };
        int64_t to { -1 };
        bool covered { false };
        bool complete { false };
        bool bounded { false };
        std::vector<int64_t> exhaustedFrom; // one per rule
    };
    Expansion expansion() const;
    // Takes up a kept expansion of the same recurrence; false (and nothing taken) when it
    // cannot be one (another number of rules, starts out of order or outside their window).
    bool takeUpExpansion(Expansion);
    // Whether an expansion was made since the last call.
    bool takeExpandedSinceLastAsked();

private:
    void ensureCovered(int64_t from, int64_t to);
    std::vector<int64_t> expand(int64_t from, int64_t to, bool& complete, bool& bounded);
    void expandRule(size_t index, int64_t from, int64_t to, std::vector<int64_t>& out, bool& bounded);
    icalrecur_iterator* iteratorNear(const icalrecurrencetype& rule, int64_t from);
    bool isExcluded(const icaltimetype& occurrence, int64_t seconds) const;
    bool hasCount() const;

    ICalendarTime m_dtstart;
    int64_t m_dtstartSeconds;
    std::vector<icalrecurrencetype> m_rules;
    // Per rule: from here on it yields nothing (it ended, or libical gave up looking), so
    // later windows need not ask it again.
    std::vector<int64_t> m_exhaustedFrom;
    std::vector<int64_t> m_rdates;
    Exclusions m_exclusions;

    // What has been expanded: every start within [m_from, m_to], or all of them.
    std::vector<int64_t> m_starts;
    int64_t m_from { 0 };
    int64_t m_to { -1 };
    bool m_covered { false };
    bool m_complete { false };
    bool m_bounded { false };
    bool m_boundReported { false };
    bool m_expandedSinceAsked { false };
};
