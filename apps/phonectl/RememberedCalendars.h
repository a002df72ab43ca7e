#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The calendar folders of the user's phone linked to the session, remembered between boots so
// that `phonectl run --session`, as the user service starts it, reads them without arguments.
// They live in $XDG_CONFIG_HOME/hushline/calendars (else ~/.config/hushline/calendars), a text
// file the user may edit: one folder per line, "~/" for the home folder, blank lines and lines
// starting with '#' ignored, blanks around a folder dropped.
namespace RememberedCalendars {

std::filesystem::path file();
// The folders of the file's text.
std::vector<std::filesystem::path> parse(const std::string& text);
// The file's text for the folders, a comment on top saying how to edit it.
std::string format(const std::vector<std::filesystem::path>& folders);

// The folders of the file; none when there is no file.
std::optional<std::vector<std::filesystem::path>> read();
// Replaces the file (atomically); false, saying why, when it cannot be written.
bool write(const std::vector<std::filesystem::path>& folders, std::string* why);
// Removes the file.
void forget();

}
