#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// phonectl settings: the Settings app of a booted phone. It runs on its own (in a session of
// its own, its output in <root>/var/log/settings.log) until the phone stops.

// The page's address; starts the Settings host on the port (0: a free one) when none runs.
// Throws PhonectlError when the phone is not booted or the host does not start.
std::string startSettings(const std::filesystem::path& root, uint16_t port);
// startSettings for the desktop's launcher (phonectl settings --notify), whose error stream
// nobody reads: a failure is also a desktop notification, and a phone that does not run is told
// as "Hushline is not running" with how to start it.
std::string startSettingsFromDesktop(const std::filesystem::path& root, uint16_t port);
// Ends the running Settings host, if any, and waits until it is gone.
void stopSettings(const std::filesystem::path& root);
