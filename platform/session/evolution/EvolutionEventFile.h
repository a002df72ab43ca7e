#pragma once

#include <libical/ical.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One stored event of an Evolution Data Server calendar (a master with its rules, or an occurrence
// stored apart from its series) as a calendar file of its own: the VEVENT as the service keeps
// it, the definitions of the time zones it names that the phone does not know by name, and the
// calendar owner's participation (kParticipationProperty), which only the service knows: the
// owner is the attendee with one of the owner's addresses, or the organiser.
class EvolutionEventFile {
public:
    // The owner's addresses, any case, with or without "mailto:".
    using Addresses = std::vector<std::string>;
    // The definition (a VTIMEZONE's text) of a zone the service names, or nullopt.
    using ZoneLookup = std::function<std::optional<std::string>(const std::string& tzid)>;

    static std::string text(icalcomponent* vevent, const Addresses& owner, const ZoneLookup&);
    // The owner's PARTSTAT ("ACCEPTED", "DECLINED", ...); nullopt when the owner is not invited.
    static std::optional<std::string> participation(icalcomponent* vevent, const Addresses& owner);
    // The zones the event names that the phone reads without a definition.
    static std::vector<std::string> unknownZones(icalcomponent* vevent);
    // The address as compared: lower case, without "mailto:".
    static std::string plainAddress(const std::string&);
};
