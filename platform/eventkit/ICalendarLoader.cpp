#include "platform/eventkit/ICalendarLoader.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace {

// Times outside these years are taken for damage rather than dates.
constexpr int kEarliestYear = 1800;
constexpr int kLatestYear = 2400;

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

void prepareLibical()
{
    static std::once_flag once;
    // A malformed value must come back as an error, never abort the process.
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

bool isPlausible(const icaltimetype& t)
{
    if (t.year < kEarliestYear || t.year > kLatestYear || t.month < 1 || t.month > 12)
        return false;
    if (t.day < 1 || t.day > icaltime_days_in_month(t.month, t.year))
        return false;
    return t.is_date || (t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60);
}

int64_t daysBetween(const icaltimetype& from, const icaltimetype& to)
{
    auto dayNumber = [](const icaltimetype& t) {
        struct tm fields { };
        fields.tm_year = t.year - 1900;
        fields.tm_mon = t.month - 1;
        fields.tm_mday = t.day;
        return static_cast<int64_t>(timegm(&fields)) / 86400;
    };
    return dayNumber(to) - dayNumber(from);
}

bool isUtcName(const std::string& name)
{
    static const char* const names[] = { "UTC", "GMT", "Z", "UT", "Etc/UTC", "Etc/GMT", "Etc/Universal", "Etc/Zulu",
        "Universal", "Zulu" };
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
}

// Only plain zone names reach libical, which looks names up as files of the system's zone
// database.
bool isSafeZoneName(const std::string& name)
{
    if (name.empty() || name.size() > 64 || name.front() == '/' || name.find("..") != std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' || c == '_'
            || c == '-' || c == '+';
    });
}

icaltimezone* builtinZone(const std::string& name)
{
    if (isSafeZoneName(name))
        if (icaltimezone* zone = icaltimezone_get_builtin_timezone(name.c_str()))
            return zone;
    // Prefixed names ("/mozilla.org/20050126_1/Europe/Berlin") end in the zone's own name.
    if (!name.empty() && name.front() == '/') {
        for (size_t slash = name.find('/', 1); slash != std::string::npos; slash = name.find('/', slash + 1)) {
            std::string rest = name.substr(slash + 1);
            if (rest.find('/') != std::string::npos && isSafeZoneName(rest))
                if (icaltimezone* zone = icaltimezone_get_builtin_timezone(rest.c_str()))
                    return zone;
        }
    }
    return nullptr;
}

std::string unreadablePropertyName(const char* error)
{
    std::string text = error ? error : "";
    size_t end = text.find(" property");
    size_t start = end == std::string::npos ? std::string::npos : text.rfind(" in ", end);
    if (start == std::string::npos || end - start > 40)
        return "unreadable property";
    return "unreadable " + text.substr(start + 4, end - start - 4);
}

struct EventProperties {
    std::string uid, summary;
    int status { 0 };
    // The calendar owner's own answer to the invitation, when the file says it.
    std::optional<int> participation;
    std::optional<ICalendarTime> start, end, recurrenceId;
    std::optional<icaldurationtype> duration;
    std::vector<icalrecurrencetype> rules;
    std::vector<ICalendarTime> rdates, exdates;
    bool startReadAsLocal { false }; // DTSTART names a zone nobody defines
};

// Reads one file: its VTIMEZONEs, then its VEVENTs.
class FileReader {
public:
    explicit FileReader(ICalendarFile& file) : m_file(file) { }

    void readRoot(icalcomponent* root);
    void finish();

private:
    void readCalendar(icalcomponent* calendar);
    void readEvent(icalcomponent* vevent, size_t position);
    void readProperty(icalproperty*, EventProperties&, std::string& problem);
    // Reads a time or recurrence property of an event; what is wrong with it, or empty.
    std::string readTimeProperty(icalproperty*, icalproperty_kind, EventProperties&);
    ICalendarEvent makeEvent(const EventProperties&, size_t position);
    std::unique_ptr<ICalendarRecurrence> makeRecurrence(const EventProperties&, bool allDay);
    // A time in a zone that neither a standard name nor the file defines is read as local time
    // (as a floating time is), and its zone's name kept for the event's Warning.
    std::optional<ICalendarTime> readTime(icalproperty*, icaltimetype value, std::string& problem);
    // The zone of a TZID: the shared built-in zone of a standard name, else the file's own
    // definition; null when neither knows it.
    std::optional<std::pair<ICalendarTimeKind, icaltimezone*>> zoneNamed(const std::string& tzid);
    void skip(const std::string& reason) { ++m_reasons[reason]; ++m_skipped; }
    void note(const std::string& reason) { ++m_reasons[reason]; }

    ICalendarFile& m_file;
    std::map<std::string, icalcomponent*> m_definitions;
    std::map<std::string, std::optional<std::pair<ICalendarTimeKind, icaltimezone*>>> m_zones;
    std::map<std::string, size_t> m_reasons;
    // The unknown zones of the event being read, told once per event.
    std::set<std::string> m_zonesReadAsLocal;
    size_t m_skipped { 0 };
    size_t m_position { 0 };
};

void FileReader::readRoot(icalcomponent* root)
{
    switch (icalcomponent_isa(root)) {
    case ICAL_VCALENDAR_COMPONENT:
        readCalendar(root);
        break;
    case ICAL_VEVENT_COMPONENT:
        readEvent(root, m_position++);
        break;
    case ICAL_XROOT_COMPONENT:
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
            readCalendar(c);
        break;
    default:
        note("no calendar data");
        break;
    }
}

void FileReader::readCalendar(icalcomponent* calendar)
{
    m_definitions.clear();
    m_zones.clear();
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* tzid = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY);
        const char* name = tzid ? icalproperty_get_tzid(tzid) : nullptr;
        if (name)
            m_definitions.emplace(name, c);
    }
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        readEvent(c, m_position++);
}

std::optional<std::pair<ICalendarTimeKind, icaltimezone*>> FileReader::zoneNamed(const std::string& tzid)
{
    auto known = m_zones.find(tzid);
    if (known != m_zones.end())
        return known->second;
    std::optional<std::pair<ICalendarTimeKind, icaltimezone*>> result;
    if (isUtcName(tzid)) {
        result = std::make_pair(ICalendarTimeKind::Utc, nullptr);
    } else if (icaltimezone* zone = builtinZone(tzid)) {
        result = std::make_pair(ICalendarTimeKind::Zoned, zone);
    } else if (auto definition = m_definitions.find(tzid); definition != m_definitions.end()) {
        if (icaltimezone* zone = m_file.zones.add(definition->second))
            result = std::make_pair(ICalendarTimeKind::Zoned, zone);
    }
    m_zones.emplace(tzid, result);
    return result;
}

std::optional<ICalendarTime> FileReader::readTime(icalproperty* property, icaltimetype value, std::string& problem)
{
    if (icaltime_is_null_time(value) || !isPlausible(value)) {
        problem = std::string("unreadable ") + icalproperty_kind_to_string(icalproperty_isa(property));
        return std::nullopt;
    }
    ICalendarTime time;
    time.fields = value;
    time.fields.zone = nullptr;
    if (value.is_date) {
        time.kind = ICalendarTimeKind::Date;
        return time;
    }
    if (icaltime_is_utc(value)) {
        time.kind = ICalendarTimeKind::Utc;
        time.fields.zone = icaltimezone_get_utc_timezone();
        return time;
    }
    icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    const char* name = tzid ? icalparameter_get_tzid(tzid) : nullptr;
    if (!name) {
        time.kind = ICalendarTimeKind::Floating;
        return time;
    }
    auto zone = zoneNamed(name);
    if (!zone) {
        // Leaving the event out would lose the user's meeting; the local reading is what khal
        // does too. Its recurrence, EXDATEs, RDATEs and RECURRENCE-IDs follow the same reading.
        m_zonesReadAsLocal.insert(name);
        time.kind = ICalendarTimeKind::Floating;
        return time;
    }
    time.kind = zone->first;
    time.zone = zone->second;
    time.fields.zone = zone->first == ICalendarTimeKind::Utc ? icaltimezone_get_utc_timezone() : zone->second;
    return time;
}

int statusOf(icalproperty* prop)
{
    switch (icalproperty_get_status(prop)) {
    case ICAL_STATUS_CONFIRMED:
        return 1;
    case ICAL_STATUS_TENTATIVE:
        return 2;
    case ICAL_STATUS_CANCELLED:
        return 3;
    default:
        return 0;
    }
}

// The owner's answer read as the status it makes of the event for him: he attends what he
// accepted, maybe attends what he holds tentatively, and not what he declined; an invitation not
// yet answered is no answer.
int participationStatusOf(icalproperty* prop)
{
    const char* value = icalproperty_get_x(prop);
    std::string answer = value ? value : "";
    if (answer == "ACCEPTED")
        return 1;
    if (answer == "TENTATIVE")
        return 2;
    if (answer == "DECLINED")
        return 3;
    return 0;
}

void FileReader::readEvent(icalcomponent* vevent, size_t position)
{
    // Every property is read in one walk: the component's property cursor is shared by all of
    // its getters, so nothing below may start another walk over it.
    EventProperties p;
    std::string problem;
    m_zonesReadAsLocal.clear();
    for (icalproperty* prop = icalcomponent_get_first_property(vevent, ICAL_ANY_PROPERTY); prop;
         prop = icalcomponent_get_next_property(vevent, ICAL_ANY_PROPERTY))
        readProperty(prop, p, problem);
    for (const auto& zone : m_zonesReadAsLocal)
        note("unknown time zone \"" + zone + "\", read as local time");
    if (!problem.empty())
        return skip(problem);
    if (!p.start)
        return skip("VEVENT without DTSTART");
    m_file.events.push_back(makeEvent(p, position));
}

void FileReader::readProperty(icalproperty* prop, EventProperties& p, std::string& problem)
{
    std::string timeProblem;
    auto kind = icalproperty_isa(prop);
    switch (kind) {
    case ICAL_UID_PROPERTY:
        if (const char* uid = icalproperty_get_uid(prop))
            p.uid = uid;
        break;
    case ICAL_SUMMARY_PROPERTY:
        if (const char* summary = icalproperty_get_summary(prop))
            p.summary = summary;
        break;
    case ICAL_STATUS_PROPERTY:
        p.status = statusOf(prop);
        break;
    case ICAL_DURATION_PROPERTY:
        p.duration = icalproperty_get_duration(prop);
        break;
    case ICAL_X_PROPERTY:
        if (const char* name = icalproperty_get_x_name(prop); name && std::string_view(name) == kParticipationProperty)
            p.participation = participationStatusOf(prop);
        break;
    case ICAL_XLICERROR_PROPERTY:
        // What libical could not parse it drops and names: "... in RRULE property. ...".
        note(unreadablePropertyName(icalproperty_get_xlicerror(prop)));
        break;
    default:
        timeProblem = readTimeProperty(prop, kind, p);
        break;
    }
    if (timeProblem.empty())
        return;
    // A damaged start, end or recurrence id leaves the event unknowable; a damaged RDATE,
    // EXDATE or RRULE only loses that part.
    if (kind == ICAL_DTSTART_PROPERTY || kind == ICAL_DTEND_PROPERTY || kind == ICAL_RECURRENCEID_PROPERTY) {
        if (problem.empty())
            problem = timeProblem;
    } else {
        note(timeProblem);
    }
}

std::string FileReader::readTimeProperty(icalproperty* prop, icalproperty_kind kind, EventProperties& p)
{
    std::string problem;
    switch (kind) {
    case ICAL_DTSTART_PROPERTY:
        p.start = readTime(prop, icalproperty_get_dtstart(prop), problem);
        p.startReadAsLocal = p.start && p.start->kind == ICalendarTimeKind::Floating
            && icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
        break;
    case ICAL_DTEND_PROPERTY:
        p.end = readTime(prop, icalproperty_get_dtend(prop), problem);
        break;
    case ICAL_RECURRENCEID_PROPERTY:
        p.recurrenceId = readTime(prop, icalproperty_get_recurrenceid(prop), problem);
        break;
    case ICAL_RRULE_PROPERTY: {
        icalrecurrencetype rule = icalproperty_get_rrule(prop);
        rule.rscale = nullptr;
        if (rule.freq == ICAL_NO_RECURRENCE)
            problem = "unusable RRULE";
        else
            p.rules.push_back(rule);
        break;
    }
    case ICAL_RDATE_PROPERTY: {
        icaldatetimeperiodtype rdate = icalproperty_get_rdate(prop);
        icaltimetype value = icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
        if (auto time = readTime(prop, value, problem))
            p.rdates.push_back(*time);
        break;
    }
    case ICAL_EXDATE_PROPERTY:
        if (auto time = readTime(prop, icalproperty_get_exdate(prop), problem))
            p.exdates.push_back(*time);
        break;
    default:
        break;
    }
    return problem;
}

ICalendarEvent FileReader::makeEvent(const EventProperties& p, size_t position)
{
    ICalendarEvent event;
    event.uid = p.uid;
    event.summary = p.summary;
    // A cancelled event is off for everyone; otherwise the owner's answer says what it is to him.
    event.status = p.status == 3 || !p.participation ? p.status : *p.participation;
    event.position = position;
    event.allDay = p.start->kind == ICalendarTimeKind::Date;
    event.start = p.start->seconds();
    if (event.allDay) {
        int64_t days = 1;
        if (p.end)
            days = daysBetween(p.start->fields, p.end->fields);
        else if (p.duration && !p.duration->is_neg)
            days = static_cast<int64_t>(p.duration->weeks) * 7 + p.duration->days;
        event.days = static_cast<int>(std::clamp<int64_t>(days, 1, 36600));
        event.end = event.endFor(event.start);
    } else {
        int64_t end = event.start;
        if (p.end)
            end = p.end->seconds();
        else if (p.duration)
            end = event.start + icaldurationtype_as_int(*p.duration);
        event.end = std::max(end, event.start);
        event.duration = event.end - event.start;
    }
    if (p.recurrenceId)
        event.recurrenceId = p.recurrenceId->seconds();
    event.recurrence = makeRecurrence(p, event.allDay);
    return event;
}

std::unique_ptr<ICalendarRecurrence> FileReader::makeRecurrence(const EventProperties& p, bool allDay)
{
    std::vector<icalrecurrencetype> rules;
    for (auto rule : p.rules) {
        // UNTIL is a UTC instant for a zoned DTSTART; libical would compare it with the clock
        // fields of a local reading as if they were UTC, so it is given as local clock fields too.
        if (p.startReadAsLocal && !icaltime_is_null_time(rule.until) && !rule.until.is_date && icaltime_is_utc(rule.until)
            && isPlausible(rule.until)) {
            ICalendarTime until;
            until.kind = ICalendarTimeKind::Utc;
            until.fields = rule.until;
            rule.until = p.start->at(until.seconds()).fields;
        }
        icalrecur_iterator* it = icalrecur_iterator_new(rule, p.start->fields);
        if (it) {
            icalrecur_iterator_free(it);
            rules.push_back(rule);
        } else {
            note("unusable RRULE");
        }
    }
    if (rules.empty() && p.rdates.empty())
        return nullptr;
    std::vector<int64_t> rdates;
    for (const auto& rdate : p.rdates)
        rdates.push_back(rdate.seconds());
    ICalendarRecurrence::Exclusions exclusions;
    for (const auto& exdate : p.exdates) {
        if (allDay || exdate.kind == ICalendarTimeKind::Date)
            exclusions.days.push_back(icalendarDayKey(exdate.fields));
        else
            exclusions.instants.push_back(exdate.seconds());
    }
    return std::make_unique<ICalendarRecurrence>(*p.start, std::move(rules), std::move(rdates), std::move(exclusions));
}

void FileReader::finish()
{
    m_file.skipped = m_skipped;
    for (const auto& [reason, count] : m_reasons)
        m_file.problems.push_back(count > 1 ? reason + " (" + std::to_string(count) + " times)" : reason);
}

} // namespace

int64_t ICalendarEvent::endFor(int64_t occurrenceStart) const
{
    if (!allDay)
        return occurrenceStart + duration;
    time_t t = static_cast<time_t>(occurrenceStart);
    struct tm day { };
    localtime_r(&t, &day);
    return icalendarLocalMidnight(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday + days) - 1;
}

int64_t ICalendarEvent::longestDuration() const
{
    // A day may last 25 hours.
    return allDay ? static_cast<int64_t>(days) * 86400 + 3600 : duration;
}

ICalendarZones::~ICalendarZones()
{
    auto lock = icalendarLock();
    for (icaltimezone* zone : m_zones)
        icaltimezone_free(zone, 1);
}

icaltimezone* ICalendarZones::add(icalcomponent* vtimezone)
{
    icaltimezone* zone = icaltimezone_new();
    icalcomponent* copy = icalcomponent_new_clone(vtimezone);
    if (!zone || !copy || !icaltimezone_set_component(zone, copy)) {
        if (copy)
            icalcomponent_free(copy);
        if (zone)
            icaltimezone_free(zone, 1);
        return nullptr;
    }
    m_zones.push_back(zone);
    return zone;
}

std::unique_ptr<ICalendarFile> loadICalendar(std::string_view text)
{
    auto file = std::make_unique<ICalendarFile>();
    auto lock = icalendarLock();
    prepareLibical();
    std::string terminated(text);
    Component root(icalparser_parse_string(terminated.c_str()));
    FileReader reader(*file);
    if (root)
        reader.readRoot(root.get());
    else if (terminated.find_first_not_of(" \t\r\n") != std::string::npos)
        file->problems.push_back("not a readable iCalendar file");
    reader.finish();
    return file;
}
