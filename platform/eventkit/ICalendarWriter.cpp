#include "platform/eventkit/ICalendarWriter.h"

#include "platform/eventkit/EKEventStore.h"
#include "platform/eventkit/ICalendarTime.h"
#include "platform/machinery/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

namespace {

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

std::string newUid()
{
    std::random_device device;
    std::uniform_int_distribution<uint64_t> any;
    char text[64];
    snprintf(text, sizeof text, "%016llx-%016llx@hushline", static_cast<unsigned long long>(any(device)),
        static_cast<unsigned long long>(any(device)));
    return text;
}

bool isPlainName(const std::string& name)
{
    return !name.empty() && name.size() <= 128 && name.front() != '.'
        && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
                   || c == '.' || c == '@';
           });
}

// A UID that is no safe file name gets one made of its FNV-1a hash.
std::string fileNameFor(const std::string& uid)
{
    if (isPlainName(uid))
        return uid + ".ics";
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : uid)
        hash = (hash ^ c) * 1099511628211ull;
    char text[32];
    snprintf(text, sizeof text, "%016llx.ics", static_cast<unsigned long long>(hash));
    return text;
}

icaltimetype localDate(const NSDate& date)
{
    time_t t = static_cast<time_t>(date.timeIntervalSince1970());
    struct tm local { };
    localtime_r(&t, &local);
    icaltimetype day = icaltime_null_date();
    day.year = local.tm_year + 1900;
    day.month = local.tm_mon + 1;
    day.day = local.tm_mday;
    return day;
}

icalproperty* timeProperty(icalproperty* (*make)(icaltimetype), const NSDate& date, icaltimezone* zone)
{
    time_t t = static_cast<time_t>(date.timeIntervalSince1970());
    icaltimetype utc = icaltime_from_timet_with_zone(t, 0, icaltimezone_get_utc_timezone());
    if (!zone)
        return make(utc);
    icaltimetype local = icaltime_convert_to_zone(utc, zone);
    icalproperty* property = make(local);
    icalproperty_add_parameter(property, icalparameter_new_tzid(icaltimezone_get_location(zone)));
    return property;
}

icalproperty_status statusValue(EKEventStatus status)
{
    switch (status) {
    case EKEventStatusConfirmed:
        return ICAL_STATUS_CONFIRMED;
    case EKEventStatusTentative:
        return ICAL_STATUS_TENTATIVE;
    case EKEventStatusCanceled:
        return ICAL_STATUS_CANCELLED;
    default:
        return ICAL_STATUS_NONE;
    }
}

bool fail(std::string* error, const std::string& reason)
{
    if (error)
        *error = reason;
    return false;
}

bool buildEvent(icalcomponent* calendar, const ICalendarEventDescription& d, const std::string& uid, std::string* error)
{
    icaltimezone* zone = nullptr;
    if (d.timeZone && !d.allDay) {
        zone = icaltimezone_get_builtin_timezone(d.timeZone->c_str());
        if (!zone)
            return fail(error, "unknown time zone \"" + *d.timeZone + "\"");
        // The zone's definition goes along for other readers, under the zone's plain name.
        if (icalcomponent* definition = icaltimezone_get_component(zone)) {
            icalcomponent* copy = icalcomponent_new_clone(definition);
            if (icalproperty* tzid = icalcomponent_get_first_property(copy, ICAL_TZID_PROPERTY))
                icalproperty_set_tzid(tzid, icaltimezone_get_location(zone));
            icalcomponent_add_component(calendar, copy);
        }
    }
    icalcomponent* event = icalcomponent_new_vevent();
    icalcomponent_add_component(calendar, event);
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    time_t now = time(nullptr);
    icalcomponent_add_property(event, icalproperty_new_dtstamp(icaltime_from_timet_with_zone(now, 0, icaltimezone_get_utc_timezone())));
    icalcomponent_add_property(event, icalproperty_new_summary(d.title.c_str()));
    if (d.allDay) {
        icaltimetype first = localDate(d.startDate);
        icaltimetype last = localDate(std::max(d.endDate, d.startDate));
        icaltime_adjust(&last, 1, 0, 0, 0);
        icalcomponent_add_property(event, icalproperty_new_dtstart(first));
        icalcomponent_add_property(event, icalproperty_new_dtend(last));
    } else {
        icalcomponent_add_property(event, timeProperty(icalproperty_new_dtstart, d.startDate, zone));
        icalcomponent_add_property(event, timeProperty(icalproperty_new_dtend, std::max(d.endDate, d.startDate), zone));
    }
    if (d.status != EKEventStatusNone)
        icalcomponent_add_property(event, icalproperty_new_status(statusValue(d.status)));
    if (d.recurrenceRule) {
        icalrecurrencetype rule = icalrecurrencetype_from_string(d.recurrenceRule->c_str());
        if (rule.freq == ICAL_NO_RECURRENCE)
            return fail(error, "unreadable recurrence rule \"" + *d.recurrenceRule + "\"");
        icalcomponent_add_property(event, icalproperty_new_rrule(rule));
        free(rule.rscale);
    }
    return true;
}

} // namespace

std::optional<std::filesystem::path> writeICalendarEvent(const std::filesystem::path& folder,
    const ICalendarEventDescription& description, std::string* error)
{
    std::string uid = description.uid.empty() ? newUid() : description.uid;
    std::string text;
    {
        auto lock = icalendarLock();
        std::unique_ptr<icalcomponent, ComponentFree> calendar(icalcomponent_new_vcalendar());
        icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//velloq//Hushline//EN"));
        if (!buildEvent(calendar.get(), description, uid, error))
            return std::nullopt;
        char* ical = icalcomponent_as_ical_string_r(calendar.get());
        if (!ical) {
            fail(error, "the event could not be written as iCalendar text");
            return std::nullopt;
        }
        text = ical;
        icalmemory_free_buffer(ical);
    }
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    std::filesystem::path path = folder / fileNameFor(uid);
    if (!writeFileAtomically(path, text, error))
        return std::nullopt;
    return path;
}

std::optional<std::filesystem::path> calendarFolderForIdentifier(const std::string& identifier)
{
    size_t slash = identifier.find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    std::string account = identifier.substr(0, slash);
    std::string calendar = identifier.substr(slash + 1);
    auto plain = [](const std::string& name) {
        return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
    };
    if (!plain(account) || !plain(calendar))
        return std::nullopt;
    return EKEventStore::calendarsFolder() / account / calendar;
}
