#pragma once

#include "platform/foundation/PlistValue.h"

#include <nlohmann/json.hpp>
#include <optional>

// Property-list values as JSON and back, for the programs that speak JSON (phonectl, the
// Settings page).

// How much of a value crosses over.
enum class PlistJsonScope {
    // Every value: a dictionary is an object, an array an array, a date its local time
    // "YYYY-MM-DDTHH:MM:SS", data a string of hexadecimal digits, an object its description.
    Whole,
    // A single boolean, number or string, as a control holds it; anything else has no form on the
    // other side (JSON null one way, no value the other way).
    Scalar,
};

// The value as JSON. No value is null; so is a real that JSON cannot hold once written (infinity,
// NaN), and with Scalar anything that is not a boolean, number or string.
nlohmann::json plistToJson(const PlistValue&, PlistJsonScope = PlistJsonScope::Whole);

// The JSON value as a property-list value: an integral number that fits 64 bits is an integer,
// any other number a real. nullopt when the value (or with Whole, anything inside it) has no
// property-list form: null, binary, and with Scalar an array or object.
std::optional<PlistValue> jsonToPlist(const nlohmann::json&, PlistJsonScope = PlistJsonScope::Whole);
