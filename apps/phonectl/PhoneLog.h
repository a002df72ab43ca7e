#pragma once

#include "platform/foundation/PlistValue.h"

#include <filesystem>
#include <string>

// phonectl log: the device's change log (from the home-screen host) and the system's log file
// /tmp/velloq.log; with `follow`, then every new change and line as it comes, until the phone
// stops or phonectl is interrupted. Returns the exit status.
int printPhoneLog(const std::filesystem::path& root, bool follow);

// phonectl watch: what the phone does, one line per change, as it happens: profiles applied and
// reverted, ringer and media volume, Do Not Disturb, status-bar icons, tones, vibrations, the
// screen, the lock, alerts and the alarm icon. Runs until the phone stops or phonectl is
// interrupted.
int watchPhone(const std::filesystem::path& root);

// One line for a change of the device ({date, what, value, detail}), as watch prints it.
std::string describeChange(const PlistDictionary& change);
