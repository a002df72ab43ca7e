#include "platform/session/evolution/EvolutionEventFile.h"

#include "platform/eventkit/ICalendarLoader.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

namespace {

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

bool isOwner(const char* value, const EvolutionEventFile::Addresses& owner)
{
    if (!value)
        return false;
    std::string address = EvolutionEventFile::plainAddress(value);
    return !address.empty()
        && std::any_of(owner.begin(), owner.end(), [&](const std::string& own) { return EvolutionEventFile::plainAddress(own) == address; });
}

bool isKnownZone(const std::string& tzid)
{
    return icaltimezone_get_builtin_timezone(tzid.c_str()) || icaltimezone_get_builtin_timezone_from_tzid(tzid.c_str());
}

}

std::string EvolutionEventFile::plainAddress(const std::string& address)
{
    std::string plain = address;
    std::transform(plain.begin(), plain.end(), plain.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (plain.rfind("mailto:", 0) == 0)
        plain.erase(0, 7);
    return plain;
}

std::optional<std::string> EvolutionEventFile::participation(icalcomponent* vevent, const Addresses& owner)
{
    for (icalproperty* attendee = icalcomponent_get_first_property(vevent, ICAL_ATTENDEE_PROPERTY); attendee;
         attendee = icalcomponent_get_next_property(vevent, ICAL_ATTENDEE_PROPERTY)) {
        if (!isOwner(icalproperty_get_attendee(attendee), owner))
            continue;
        icalparameter* partstat = icalproperty_get_first_parameter(attendee, ICAL_PARTSTAT_PARAMETER);
        // An attendee without PARTSTAT has not answered.
        const char* value = partstat ? icalparameter_enum_to_string(icalparameter_get_partstat(partstat)) : nullptr;
        return value ? value : "NEEDS-ACTION";
    }
    // The organiser of a meeting attends it.
    icalproperty* organizer = icalcomponent_get_first_property(vevent, ICAL_ORGANIZER_PROPERTY);
    if (organizer && isOwner(icalproperty_get_organizer(organizer), owner))
        return "ACCEPTED";
    return std::nullopt;
}

std::vector<std::string> EvolutionEventFile::unknownZones(icalcomponent* vevent)
{
    std::set<std::string> zones;
    for (icalproperty* property = icalcomponent_get_first_property(vevent, ICAL_ANY_PROPERTY); property;
         property = icalcomponent_get_next_property(vevent, ICAL_ANY_PROPERTY)) {
        icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
        const char* name = tzid ? icalparameter_get_tzid(tzid) : nullptr;
        if (name && *name && !isKnownZone(name))
            zones.insert(name);
    }
    return { zones.begin(), zones.end() };
}

std::string EvolutionEventFile::text(icalcomponent* vevent, const Addresses& owner, const ZoneLookup& zones)
{
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Hushline//Evolution Data Server calendar//EN"));
    for (const auto& tzid : unknownZones(vevent)) {
        auto definition = zones ? zones(tzid) : std::nullopt;
        if (!definition)
            continue;
        if (icalcomponent* zone = icalparser_parse_string(definition->c_str()))
            icalcomponent_add_component(calendar.get(), zone);
    }
    icalcomponent* event = icalcomponent_new_clone(vevent);
    icalproperty* noted = icalcomponent_get_first_property(event, ICAL_X_PROPERTY);
    while (noted) {
        icalproperty* next = icalcomponent_get_next_property(event, ICAL_X_PROPERTY);
        const char* name = icalproperty_get_x_name(noted);
        if (name && std::string(name) == kParticipationProperty) {
            icalcomponent_remove_property(event, noted);
            icalproperty_free(noted);
        }
        noted = next;
    }
    if (auto answer = participation(vevent, owner)) {
        icalproperty* property = icalproperty_new_x(answer->c_str());
        icalproperty_set_x_name(property, kParticipationProperty);
        icalcomponent_add_property(event, property);
    }
    icalcomponent_add_component(calendar.get(), event);
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    std::string result = text ? text : "";
    free(text);
    return result;
}
