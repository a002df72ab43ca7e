#pragma once

#include <optional>
#include <string>

// A calendar's colour as Evolution Data Server holds it, as the phone's calendars read it
// ("#RRGGBB"). GNOME Calendar writes CSS colours ("rgb(98,160,234)", "rgba(...)"), Evolution
// "#rrggbb", older versions "#rrrrggggbbbb"; anything else is no colour.
std::optional<std::string> sourceColorHex(const std::string&);
