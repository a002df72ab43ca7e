#pragma once

#include <string>
#include <vector>

class PrivateSession;

// GNOME Calendar as its owner uses it, at the private session's Evolution Data Server: the
// commands of gnome-calendar.py beside this file (python3-gi with EDS's introspection data), run
// in the session's environment. Each call returns once EDS has stored the change.
class GnomeCalendar {
public:
    explicit GnomeCalendar(const PrivateSession& session) : m_session(session) { }

    // One or more commands ("add-event", "work", "UID:...\n..."), separated by "--". Throws
    // std::runtime_error with the script's complaint when one fails.
    void run(const std::vector<std::string>& arguments) const;

    // An event's VEVENT lines in the local time of the zone given, for add-event.
    static std::string event(const std::string& uid, const std::string& title, const std::string& start, const std::string& end,
        const std::string& extraLines = "", const std::string& zone = "Europe/Berlin");

private:
    const PrivateSession& m_session;
};
