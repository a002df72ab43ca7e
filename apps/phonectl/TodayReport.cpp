#include "apps/phonectl/TodayReport.h"

#include "apps/common/LocalTime.h"
#include "core/profile/HLProfile.h"

#include <algorithm>

namespace {

std::string clockTime(const NSDate& date)
{
    std::string text = formatLocalTime(date);
    return text.size() >= 16 ? text.substr(11, 5) : text;
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string eventPhrase(const PlistValue& event)
{
    const std::string* title = event["title"].asString();
    const std::string* calendar = event["calendarTitle"].asString();
    std::string phrase = quoted(title ? *title : "") + " (" + (calendar && !calendar->empty() ? *calendar : "?") + ", ";
    if (event["allDay"].boolValue())
        return phrase + "all day)";
    const NSDate* start = event["start"].asDate();
    const NSDate* end = event["end"].asDate();
    return phrase + (start ? clockTime(*start) : "?") + "-" + (end ? clockTime(*end) : "?") + ")";
}

std::string causeText(const PlistDictionary& because)
{
    const PlistValue cause(because);
    std::string kind = cause["kind"].asString() ? *cause["kind"].asString() : "none";
    const PlistValue& event = cause["event"];
    std::string network = cause["network"].asString() ? *cause["network"].asString() : "";
    if (kind == "event")
        return "for " + eventPhrase(event);
    if (kind == "network")
        return "at the Wi-Fi network " + quoted(network);
    if (kind == "eventEnded")
        return eventPhrase(event) + " has ended";
    if (kind == "nextEvent")
        return eventPhrase(event) + " hands over to " + eventPhrase(cause["next"]);
    if (kind == "activeHoursEnded") {
        const NSDate* end = cause["hoursEnd"].asDate();
        return std::string("the active hours end") + (end ? " at " + clockTime(*end) : "")
            + (event.isDictionary() ? " during " + eventPhrase(event) : network.empty() ? "" : " (Wi-Fi " + quoted(network) + ")");
    }
    if (kind == "midnight")
        return "midnight ends the day";
    if (kind == "start")
        return "nothing keeps it on when the look begins";
    return "the scheduler's pass";
}

const char* actionName(TodayRecorder::Action action)
{
    switch (action) {
    case TodayRecorder::Action::Applied:
        return "applied";
    case TodayRecorder::Action::Reverted:
        return "reverted";
    case TodayRecorder::Action::RevertedQuietly:
        return "revertedQuietly";
    case TodayRecorder::Action::Refreshed:
        return "refreshed";
    }
    return "";
}

std::string momentText(const TodayRecorder::Moment& moment)
{
    switch (moment.action) {
    case TodayRecorder::Action::Applied:
        return "applied " + causeText(moment.because) + (moment.atStart ? ", as a pass of the scheduler now would" : "");
    case TodayRecorder::Action::Reverted:
        return std::string(moment.endTone ? "reverted with its end tone: " : "reverted (no end tone): ") + causeText(moment.because);
    case TodayRecorder::Action::RevertedQuietly:
        return "reverted quietly: " + causeText(moment.because);
    case TodayRecorder::Action::Refreshed:
        return "refreshed (volumes set again) " + causeText(moment.because);
    }
    return "";
}

PlistDictionary momentDictionary(const TodayRecorder::Moment& moment)
{
    return { { "time", moment.date }, { "profile", moment.profile }, { "profileTitle", moment.title }, { "action", actionName(moment.action) },
        { "endTone", moment.endTone }, { "atStart", moment.atStart }, { "because", moment.because }, { "text", momentText(moment) } };
}

// The attendance filter's labels, as the settings show them; an event's status by the same words.
std::string attendanceLabel(int64_t status)
{
    switch (status) {
    case 0:
        return "All";
    case 1:
        return "Accepted";
    case 2:
        return "Tentative";
    case 3:
        return "Declined/Cancelled";
    }
    return "All";
}

std::string eventStatusLabel(EKEventStatus status)
{
    return status == EKEventStatusNone ? "no status" : attendanceLabel(status);
}

bool overlaps(const TodayEvent& event, const NSDate& from, const NSDate& until)
{
    return !(event.end < from) && !(until < event.start);
}

bool coveredBy(const TodayEvent& event, const std::vector<std::pair<NSDate, NSDate>>& spans)
{
    return std::any_of(spans.begin(), spans.end(), [&](const auto& span) { return !(event.start < span.first) && !(span.second < event.end); });
}

class PassedOver {
public:
    PassedOver(const TodayScope& scope, const TodayRecorder& recorder, HLProfile& profile)
        : m_scope(scope), m_recorder(recorder), m_profile(profile), m_spans(recorder.appliedSpans(profile.identifier()))
    {
        const auto& calendars = profile.calendarIdentifiers();
        m_calendars.insert(calendars.begin(), calendars.end());
    }

    // Why the event did not silence the phone through this profile; nullopt when it did.
    std::optional<PlistDictionary> reason(const TodayEvent& event)
    {
        if (m_recorder.actedUpon(m_profile.identifier(), event.key))
            return std::nullopt;
        if (!m_scope.hushlineEnabled)
            return because("hushlineOff", "Hushline is switched off");
        if (!m_profile.isEnabled())
            return because("profileDisabled", "the profile is disabled");
        if (!m_calendars.count(event.calendarIdentifier))
            return because("calendarNotChosen", "its calendar " + quoted(event.calendarTitle) + " is not chosen in the profile");
        if (event.status == EKEventStatusCanceled)
            return because("cancelled", "the event is cancelled");
        if (auto verdict = m_recorder.verdict(m_profile.identifier(), event.key))
            return fromVerdict(*verdict, event);
        if (auto network = networkDuring())
            return withNetwork(because("followsNetwork", "the profile follows the Wi-Fi network " + quoted(*network) + ", not its calendar"), *network);
        if (filteredByAttendance(event))
            return fromVerdict(HLTraceVerdict::Attendance, event);
        if (event.allDay && m_profile.isAllDayEventsIgnored())
            return fromVerdict(HLTraceVerdict::AllDayIgnored, event);
        if (!event.allDay && !m_profile.isAllDay() && !overlaps(event, m_profile.startDate(), m_profile.endDate()))
            return fromVerdict(HLTraceVerdict::OutsideActiveHours, event);
        if (coveredBy(event, m_spans))
            return because("alreadyQuiet", "the profile was already applied for another event");
        return because("notChosen", "the scheduler never chose this event for the profile");
    }

private:
    static PlistDictionary because(const std::string& reason, const std::string& text) { return { { "reason", reason }, { "text", text } }; }
    static PlistDictionary withNetwork(PlistDictionary reason, const std::string& network)
    {
        reason["network"] = network;
        return reason;
    }

    std::optional<std::string> networkDuring() const
    {
        auto networks = m_recorder.networksFollowed(m_profile.identifier());
        if (networks.empty())
            return std::nullopt;
        return *networks.begin();
    }

    bool filteredByAttendance(const TodayEvent& event) const
    {
        int64_t wanted = m_profile.applyProfileEventStatus();
        return wanted != 0 && event.status != wanted;
    }

    PlistDictionary fromVerdict(HLTraceVerdict verdict, const TodayEvent& event) const
    {
        switch (verdict) {
        case HLTraceVerdict::Cancelled:
            return because("cancelled", "the event is cancelled");
        case HLTraceVerdict::Attendance: {
            std::string wanted = attendanceLabel(m_profile.applyProfileEventStatus());
            std::string status = eventStatusLabel(event.status);
            auto result = because("attendance", "filtered by attendance: " + quoted(wanted) + " wanted, event " + quoted(status));
            result["wanted"] = wanted;
            result["status"] = status;
            return result;
        }
        case HLTraceVerdict::AllDayIgnored:
            return because("allDayIgnored", "all-day events are ignored by the profile");
        case HLTraceVerdict::OutsideActiveHours:
            break;
        }
        return because("outsideActiveHours", "outside the active hours " + hoursText());
    }

    std::string hoursText() const { return m_profile.startTime().value_or("?") + " - " + m_profile.endTime().value_or("?"); }

    const TodayScope& m_scope;
    const TodayRecorder& m_recorder;
    HLProfile& m_profile;
    std::vector<std::pair<NSDate, NSDate>> m_spans;
    std::set<std::string> m_calendars;
};

PlistDictionary profileDictionary(const TodayScope& scope, const TodayRecorder& recorder, HLProfile& profile, const std::vector<TodayEvent>& events)
{
    PassedOver passedOver(scope, recorder, profile);
    PlistArray notActedUpon;
    for (const auto& event : events) {
        auto reason = passedOver.reason(event);
        if (!reason)
            continue;
        (*reason)["event"] = event.dictionary();
        notActedUpon.emplace_back(std::move(*reason));
    }
    return { { "identifier", profile.identifier() }, { "title", profile.title().value_or("") }, { "enabled", profile.isEnabled() },
        { "allDay", profile.isAllDay() },
        { "hours", profile.isAllDay() ? std::string("all day") : profile.startTime().value_or("?") + " - " + profile.endTime().value_or("?") },
        { "calendars", PlistValue(profile.calendarIdentifiers()) }, { "networks", PlistValue(profile.wifiNetworks()) },
        { "notActedUpon", std::move(notActedUpon) } };
}

std::string assumption(const TodayScope& scope)
{
    return std::string("Assumes the phone stays ") + (scope.network ? "on the Wi-Fi network " + quoted(*scope.network) : "off Wi-Fi")
        + " and nobody touches the volume.";
}

}

PlistDictionary buildTodayReport(const TodayScope& scope, const TodayRecorder& recorder, const std::vector<std::shared_ptr<HLProfile>>& profiles,
    const std::vector<TodayEvent>& eventsOfTheDay)
{
    PlistArray moments;
    for (const auto& moment : recorder.moments())
        moments.emplace_back(momentDictionary(moment));
    PlistArray appliedAtStart;
    for (const auto& moment : recorder.appliedAtStart()) {
        auto entry = momentDictionary(moment);
        entry.erase("time");
        entry.erase("action");
        entry.erase("endTone");
        entry.erase("atStart");
        entry["text"] = "on " + causeText(moment.because);
        appliedAtStart.emplace_back(std::move(entry));
    }
    PlistArray profileEntries;
    for (const auto& profile : profiles)
        profileEntries.emplace_back(profileDictionary(scope, recorder, *profile, eventsOfTheDay));

    PlistDictionary report { { "day", formatLocalTime(scope.from).substr(0, 10) }, { "from", scope.from }, { "until", scope.until },
        { "hushlineEnabled", scope.hushlineEnabled }, { "assumption", assumption(scope) }, { "appliedAtStart", std::move(appliedAtStart) },
        { "moments", std::move(moments) }, { "profiles", std::move(profileEntries) } };
    if (scope.network)
        report["network"] = *scope.network;
    return report;
}
