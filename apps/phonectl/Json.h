#pragma once

#include "platform/foundation/PlistValue.h"

#include <optional>
#include <string>
#include <string_view>

// JSON for phonectl: the phone's state out, a message's user info in.

// The value as JSON: a dictionary is an object, an array an array, a date its local time
// "YYYY-MM-DDTHH:MM:SS", data a string of hexadecimal digits, no value null. Indented by two
// blanks per level when `pretty`, else on one line.
std::string toJson(const PlistValue&, bool pretty = true);

// Reads JSON text (RFC 8259) into a property-list value: an integral number that fits 64 bits
// becomes an integer, any other number a real. nullopt, with the place and the reason in
// *error, for malformed text, a null (which has no property-list form), a key given twice, or
// nesting deeper than 64 levels.
std::optional<PlistValue> parseJson(std::string_view text, std::string* error = nullptr);
