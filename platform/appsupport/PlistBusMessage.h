#pragma once

#include "platform/foundation/PlistValue.h"

#include <optional>
#include <string>

struct sd_bus_message;

// Property lists in D-Bus messages, each property-list type in exactly one D-Bus form:
// boolean b, integer x, real d, string s, date (d) (a structure of one double, the seconds
// since 1970-01-01 00:00:00 UTC), data ay, array av, dictionary a{sv}.

// Appends the dictionary as a{sv}. False, with *error naming the value, when a value has no
// D-Bus form (no value, a reference object), a string holds a NUL character or is not UTF-8,
// or the nesting is deeper than D-Bus allows; the message must then be dropped.
bool appendPlistDictionary(sd_bus_message*, const PlistDictionary&, std::string* error);

// Reads an a{sv} at the message's read position. nullopt, with *error naming the value, when
// a variant holds a type that no property-list type maps to or a key occurs twice.
std::optional<PlistDictionary> readPlistDictionary(sd_bus_message*, std::string* error);
