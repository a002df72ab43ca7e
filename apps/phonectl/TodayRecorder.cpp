#include "apps/phonectl/TodayRecorder.h"

#include "core/profile/HLProfile.h"

#include <algorithm>

namespace {

// A revert comes at the moment it is due or up to a second before (the end tolerance).
constexpr NSTimeInterval kDueTolerance = 1.0;

bool isRevert(TodayRecorder::Action action)
{
    return action == TodayRecorder::Action::Reverted || action == TodayRecorder::Action::RevertedQuietly;
}

}

PlistDictionary TodayRecorder::causeOf(const Context& context)
{
    if (context.network)
        return { { "kind", "network" }, { "network", *context.network } };
    if (context.event)
        return { { "kind", "event" }, { "event", context.event->dictionary() } };
    return { { "kind", "none" } };
}

PlistDictionary TodayRecorder::revertCause(HLProfile& profile, const Context& appliedFor) const
{
    NSDate due = NSDate::dateWithTimeIntervalSinceNow(kDueTolerance);
    PlistDictionary cause = causeOf(appliedFor);
    if (!(due < m_dayEnd)) {
        cause["kind"] = "midnight";
    } else if (appliedFor.event && !(due < appliedFor.event->end)) {
        cause["kind"] = "eventEnded";
    } else if (!profile.isAllDay() && !(due < profile.endDate())) {
        cause["kind"] = "activeHoursEnded";
        cause["hoursEnd"] = profile.endDate();
    }
    return cause;
}

void TodayRecorder::record(Moment moment)
{
    (m_launching ? m_launchMoments : m_moments).push_back(std::move(moment));
}

void TodayRecorder::profileApplied(HLProfile& profile)
{
    const Context& decided = m_lastDecision[profile.identifier()];
    m_appliedFor[profile.identifier()] = decided;
    if (decided.event && !decided.network)
        m_acted[profile.identifier()].insert(decided.event->key);
    record({ NSDate::date(), profile.identifier(), profile.title().value_or(""), Action::Applied, false, causeOf(decided) });
}

void TodayRecorder::profileReverted(HLProfile& profile, bool quiet)
{
    auto cause = revertCause(profile, m_appliedFor[profile.identifier()]);
    record({ NSDate::date(), profile.identifier(), profile.title().value_or(""), quiet ? Action::RevertedQuietly : Action::Reverted,
        !quiet && profile.isPlayAlert(), std::move(cause) });
}

void TodayRecorder::profileRefreshed(HLProfile& profile, bool soundReapplied)
{
    // A refresh that finds the volumes as the profile set them changes nothing one could notice.
    if (!soundReapplied)
        return;
    record({ NSDate::date(), profile.identifier(), profile.title().value_or(""), Action::Refreshed, false,
        causeOf(m_appliedFor[profile.identifier()]) });
}

void TodayRecorder::eventChosen(HLProfile& profile, const EKEvent& event)
{
    m_lastDecision[profile.identifier()] = { TodayEvent::of(event), std::nullopt };
}

void TodayRecorder::networkRuleFollowed(HLProfile& profile, const std::string& ssid)
{
    m_lastDecision[profile.identifier()] = { std::nullopt, ssid };
    m_networks[profile.identifier()].insert(ssid);
}

void TodayRecorder::eventPassedOver(HLProfile& profile, const EKEvent& event, HLTraceVerdict verdict)
{
    // The first verdict on an event stands, except that an event found over (outside the hours)
    // gives way to a filter that refused it while it could still have applied.
    auto& verdicts = m_verdicts[profile.identifier()];
    auto [it, inserted] = verdicts.emplace(TodayEvent::keyOf(event), verdict);
    if (!inserted && it->second == HLTraceVerdict::OutsideActiveHours)
        it->second = verdict;
}

void TodayRecorder::endLaunch(const std::map<int64_t, bool>& appliedBefore, const std::map<int64_t, bool>& appliedAfter)
{
    m_launching = false;
    for (const auto& [profile, after] : appliedAfter) {
        auto found = appliedBefore.find(profile);
        bool before = found != appliedBefore.end() && found->second;
        auto last = [&](bool reverts) -> const Moment* {
            for (auto it = m_launchMoments.rbegin(); it != m_launchMoments.rend(); ++it)
                if (it->profile == profile && isRevert(it->action) == reverts && it->action != Action::Refreshed)
                    return &*it;
            return nullptr;
        };
        if (after) {
            if (const Moment* applied = last(false)) {
                Moment moment = *applied;
                moment.atStart = !before;
                (before ? m_appliedAtStart : m_moments).push_back(std::move(moment));
            }
        } else if (before) {
            // The real phone's reasons for having it on are not known here, only that none holds.
            if (const Moment* reverted = last(true)) {
                Moment moment = *reverted;
                moment.because = { { "kind", "start" } };
                moment.atStart = true;
                m_moments.push_back(std::move(moment));
            }
        }
    }
    m_launchMoments.clear();
}

std::vector<TodayRecorder::Moment> TodayRecorder::moments() const
{
    auto result = m_moments;
    std::stable_sort(result.begin(), result.end(), [](const Moment& a, const Moment& b) { return a.date < b.date; });
    for (size_t i = 0; i < result.size(); ++i) {
        if (result[i].action != Action::RevertedQuietly)
            continue;
        for (size_t j = i + 1; j < result.size() && !(result[i].date.timeIntervalSince1970() + kDueTolerance < result[j].date.timeIntervalSince1970()); ++j) {
            if (result[j].profile != result[i].profile || result[j].action != Action::Applied)
                continue;
            auto next = result[j].because.find("event");
            if (next != result[j].because.end()) {
                result[i].because["kind"] = "nextEvent";
                result[i].because["next"] = next->second;
            }
            break;
        }
    }
    return result;
}

bool TodayRecorder::actedUpon(int64_t profile, const std::string& eventKey) const
{
    auto it = m_acted.find(profile);
    return it != m_acted.end() && it->second.count(eventKey);
}

std::optional<HLTraceVerdict> TodayRecorder::verdict(int64_t profile, const std::string& eventKey) const
{
    auto it = m_verdicts.find(profile);
    if (it == m_verdicts.end())
        return std::nullopt;
    auto found = it->second.find(eventKey);
    if (found == it->second.end())
        return std::nullopt;
    return found->second;
}

std::set<std::string> TodayRecorder::networksFollowed(int64_t profile) const
{
    auto it = m_networks.find(profile);
    return it == m_networks.end() ? std::set<std::string> {} : it->second;
}

std::vector<std::pair<NSDate, NSDate>> TodayRecorder::appliedSpans(int64_t profile) const
{
    std::vector<std::pair<NSDate, NSDate>> spans;
    // The start of the span being walked; a plain flag beside it, as GCC 12 takes a moved
    // optional date for uninitialised.
    bool isOpen = false;
    NSDate open(0.0);
    for (const auto& moment : m_appliedAtStart)
        if (moment.profile == profile)
            isOpen = true;
    for (const auto& moment : moments()) {
        if (moment.profile != profile)
            continue;
        if (moment.action == Action::Applied && !isOpen) {
            open = moment.date;
            isOpen = true;
        } else if (isRevert(moment.action) && isOpen) {
            spans.emplace_back(open, moment.date);
            isOpen = false;
        }
    }
    if (isOpen)
        spans.emplace_back(open, m_dayEnd);
    return spans;
}
