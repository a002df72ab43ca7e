#pragma once

#include "platform/foundation/PlistValue.h"

#include <optional>
#include <string>
#include <string_view>

// Reads a property list in the old OpenStep text form that the hooking framework's filter
// files use: { Filter = { Bundles = ( "com.apple.springboard" ); }; }
//   dictionary  { key = value; ... }      (the last ";" may be left out)
//   array       ( value, value, ... )     (a trailing "," is allowed)
//   string      "quoted, with \" \\ \n \t escapes" or a bare word of letters, digits and _ $ + / : . -
// with // and /* */ comments. Everything is read as strings, arrays and dictionaries, as the
// format has nothing else. nullopt, with the place and reason in *error, for malformed text.
std::optional<PlistValue> parseOpenStepPlist(std::string_view text, std::string* error = nullptr);
