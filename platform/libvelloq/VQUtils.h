#pragma once

#include <string>

// libvelloq's helpers.
class VQUtils {
public:
    // The system's own translation of one of its button or title words ("Error", "Close", "OK",
    // "Cancel", ...) in the user's first language; the word itself when the system has none.
    static std::string localizedLabelFromUIKit(const std::string& key);
    // Ends the named process of the phone. "SpringBoard" ends the home-screen host (its process
    // id is in "/var/run/springboard.launched"), which the phone's supervisor starts again, as
    // launchd would. Returns whether a signal was sent.
    static bool killProcessByName(const std::string& name);
    // The device model code ("iPhone12,1").
    static std::string platform();
};
