#include "platform/eventkit/ICalendarRecurrence.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <utility>

namespace {

// Expansion reaches this far beyond what was asked, so that the following queries (the next
// hours, the next days) are answered from what is kept.
constexpr int64_t kWindowMargin = 7 * 86400;

struct IteratorFree {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};
using Iterator = std::unique_ptr<icalrecur_iterator, IteratorFree>;

int64_t fieldSeconds(const icaltimetype& t)
{
    struct tm fields { };
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    return static_cast<int64_t>(timegm(&fields));
}

int64_t periodSeconds(icalrecurrencetype_frequency frequency)
{
    switch (frequency) {
    case ICAL_SECONDLY_RECURRENCE:
        return 1;
    case ICAL_MINUTELY_RECURRENCE:
        return 60;
    case ICAL_HOURLY_RECURRENCE:
        return 3600;
    default:
        return 0;
    }
}

} // namespace

ICalendarRecurrence::ICalendarRecurrence(ICalendarTime dtstart, std::vector<icalrecurrencetype> rules,
    std::vector<int64_t> rdates, Exclusions exclusions)
    : m_dtstart(dtstart)
    , m_dtstartSeconds(dtstart.seconds())
    , m_rules(std::move(rules))
    , m_rdates(std::move(rdates))
    , m_exclusions(std::move(exclusions))
{
    for (auto& rule : m_rules)
        rule.rscale = nullptr;
    m_exhaustedFrom.assign(m_rules.size(), INT64_MAX);
    // Without a rule, DTSTART is an occurrence like the RDATEs (with one, the rule's walk
    // yields it).
    if (m_rules.empty())
        m_rdates.push_back(m_dtstartSeconds);
    std::sort(m_rdates.begin(), m_rdates.end());
    std::sort(m_exclusions.instants.begin(), m_exclusions.instants.end());
    std::sort(m_exclusions.days.begin(), m_exclusions.days.end());
}

std::vector<int64_t> ICalendarRecurrence::rdates() const
{
    std::vector<int64_t> given = m_rdates;
    // Without a rule DTSTART was added to the RDATEs; the constructor adds it again.
    if (m_rules.empty())
        if (auto it = std::find(given.begin(), given.end(), m_dtstartSeconds); it != given.end())
            given.erase(it);
    return given;
}

bool ICalendarRecurrence::takeBoundReport()
{
    if (!m_bounded || m_boundReported)
        return false;
    m_boundReported = true;
    return true;
}

int64_t ICalendarRecurrence::earliestStart() const
{
    return m_rdates.empty() ? m_dtstartSeconds : std::min(m_dtstartSeconds, m_rdates.front());
}

std::optional<int64_t> ICalendarRecurrence::latestStart() const
{
    if (m_complete)
        return m_starts.empty() ? earliestStart() : m_starts.back();
    // UNTIL may be a date or a floating time: a day either side covers every zone.
    constexpr int64_t kZoneMargin = 2 * 86400;
    int64_t latest = std::max(m_dtstartSeconds, m_rdates.empty() ? INT64_MIN : m_rdates.back());
    for (const auto& rule : m_rules) {
        if (icaltime_is_null_time(rule.until))
            return std::nullopt;
        icaltimetype until = rule.until;
        until.zone = nullptr;
        latest = std::max(latest, static_cast<int64_t>(icaltime_as_timet(until)) + kZoneMargin);
    }
    return latest;
}

bool ICalendarRecurrence::hasCount() const
{
    return std::any_of(m_rules.begin(), m_rules.end(), [](const auto& rule) { return rule.count > 0; });
}

std::vector<int64_t> ICalendarRecurrence::startsBetween(int64_t from, int64_t to)
{
    if (to < from)
        return {};
    ensureCovered(from, to);
    auto first = std::lower_bound(m_starts.begin(), m_starts.end(), from);
    auto last = std::upper_bound(first, m_starts.end(), to);
    return { first, last };
}

std::optional<int64_t> ICalendarRecurrence::firstStart()
{
    int64_t from = earliestStart();
    // Widening windows: the first occurrence is usually at DTSTART, but EXDATEs may remove the
    // first ones.
    for (int64_t span = 366 * 86400; span <= 64 * 366 * 86400LL; span *= 4) {
        auto starts = startsBetween(from, from + span);
        if (!starts.empty())
            return starts.front();
        if (m_complete)
            break;
    }
    return std::nullopt;
}

void ICalendarRecurrence::ensureCovered(int64_t from, int64_t to)
{
    if (m_complete || (m_covered && m_from <= from && to <= m_to))
        return;
    bool complete = false;
    bool bounded = false;
    int64_t windowFrom = hasCount() ? m_dtstartSeconds : from - kWindowMargin;
    int64_t windowTo = to + kWindowMargin;
    m_starts = expand(windowFrom, windowTo, complete, bounded);
    m_complete = complete;
    m_covered = true;
    m_from = windowFrom;
    // A bounded expansion holds what the bound let through up to the asked end; a later range
    // is expanded afresh.
    m_to = bounded ? (m_starts.empty() ? to : std::max(to, m_starts.back())) : windowTo;
    m_bounded = m_bounded || bounded;
    m_expandedSinceAsked = true;
}

ICalendarRecurrence::Expansion ICalendarRecurrence::expansion() const
{
    return { m_starts, m_from, m_to, m_covered, m_complete, m_bounded, m_exhaustedFrom };
}

bool ICalendarRecurrence::takeUpExpansion(Expansion kept)
{
    if (kept.exhaustedFrom.size() != m_rules.size() || !std::is_sorted(kept.starts.begin(), kept.starts.end()))
        return false;
    if (kept.covered && !kept.complete && !kept.starts.empty() && (kept.starts.front() < kept.from || kept.starts.back() > kept.to))
        return false;
    m_starts = std::move(kept.starts);
    m_from = kept.from;
    m_to = kept.to;
    m_covered = kept.covered;
    m_complete = kept.complete;
    m_bounded = kept.bounded;
    m_exhaustedFrom = std::move(kept.exhaustedFrom);
    return true;
}

bool ICalendarRecurrence::takeExpandedSinceLastAsked()
{
    return std::exchange(m_expandedSinceAsked, false);
}

std::vector<int64_t> ICalendarRecurrence::expand(int64_t from, int64_t to, bool& complete, bool& bounded)
{
    auto lock = icalendarLock();
    std::vector<int64_t> starts;
    if (hasCount()) {
        // Walked from the start whatever was asked: the whole series is kept.
        for (size_t i = 0; i < m_rules.size(); ++i)
            expandRule(i, m_dtstartSeconds, INT64_MAX, starts, bounded);
        complete = !bounded;
    } else {
        for (size_t i = 0; i < m_rules.size(); ++i)
            expandRule(i, from, to, starts, bounded);
    }
    int64_t rdateFrom = complete ? INT64_MIN : from;
    int64_t rdateTo = complete ? INT64_MAX : to;
    for (int64_t rdate : m_rdates) {
        if (rdate < rdateFrom || rdate > rdateTo)
            continue;
        ICalendarTime occurrence = m_dtstart.at(rdate);
        if (!isExcluded(occurrence.fields, rdate))
            starts.push_back(rdate);
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

void ICalendarRecurrence::expandRule(size_t index, int64_t from, int64_t to, std::vector<int64_t>& out, bool& bounded)
{
    const icalrecurrencetype& rule = m_rules[index];
    if (from >= m_exhaustedFrom[index])
        return;
    Iterator it(rule.count > 0 ? icalrecur_iterator_new(rule, m_dtstart.fields) : iteratorNear(rule, from));
    if (!it)
        return;
    size_t found = 0;
    int64_t after = from;
    for (size_t steps = 0;; ++steps) {
        if (steps >= kMaxSteps || found >= kMaxOccurrences) {
            bounded = true;
            return;
        }
        icaltimetype next = icalrecur_iterator_next(it.get());
        if (icaltime_is_null_time(next)) {
            m_exhaustedFrom[index] = after;
            return;
        }
        ICalendarTime occurrence = m_dtstart;
        occurrence.fields = next;
        occurrence.fields.zone = m_dtstart.fields.zone;
        int64_t seconds = occurrence.seconds();
        if (seconds > to)
            return;
        if (seconds < from || isExcluded(next, seconds))
            continue;
        out.push_back(seconds);
        after = seconds + 1;
        ++found;
    }
}

icalrecur_iterator* ICalendarRecurrence::iteratorNear(const icalrecurrencetype& rule, int64_t from)
{
    if (from <= m_dtstartSeconds)
        return icalrecur_iterator_new(rule, m_dtstart.fields);
    icaltimetype target = m_dtstart.at(from).fields;
    int64_t period = periodSeconds(rule.freq) * std::max<int64_t>(rule.interval, 1);
    if (period == 0) {
        // Daily and coarser rules are entered at the target by libical itself.
        icalrecur_iterator* it = icalrecur_iterator_new(rule, m_dtstart.fields);
        if (it)
            icalrecur_iterator_set_start(it, target);
        return it;
    }
    // libical enters sub-daily rules off their INTERVAL grid; start instead from a DTSTART
    // moved forward by whole intervals (in clock fields, as the iterator counts), one interval
    // short of the target so that the moved start itself is never mistaken for an occurrence.
    int64_t intervals = (fieldSeconds(target) - fieldSeconds(m_dtstart.fields)) / period - 1;
    if (intervals <= 0)
        return icalrecur_iterator_new(rule, m_dtstart.fields);
    int64_t shift = intervals * period;
    icaltimetype start = m_dtstart.fields;
    icaltime_adjust(&start, static_cast<int>(shift / 86400), 0, 0, static_cast<int>(shift % 86400));
    return icalrecur_iterator_new(rule, start);
}

bool ICalendarRecurrence::isExcluded(const icaltimetype& occurrence, int64_t seconds) const
{
    return std::binary_search(m_exclusions.instants.begin(), m_exclusions.instants.end(), seconds)
        || std::binary_search(m_exclusions.days.begin(), m_exclusions.days.end(), icalendarDayKey(occurrence));
}
