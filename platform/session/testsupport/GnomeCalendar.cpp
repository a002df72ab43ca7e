#include "platform/session/testsupport/GnomeCalendar.h"

#include "platform/session/testsupport/PrivateSession.h"

namespace {

std::string quoted(const std::string& argument)
{
    std::string out = "'";
    for (char c : argument)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// "2026-12-08T09:00:00" -> "20261208T090000"
std::string icalTime(const std::string& iso)
{
    std::string out;
    for (char c : iso)
        if (c != '-' && c != ':')
            out += c;
    return out;
}

}

void GnomeCalendar::run(const std::vector<std::string>& arguments) const
{
    std::string command = "/usr/bin/python3 " + quoted(HUSHLINE_GNOME_CALENDAR);
    for (const auto& argument : arguments)
        command += " " + quoted(argument);
    m_session.run(command);
}

std::string GnomeCalendar::event(const std::string& uid, const std::string& title, const std::string& start, const std::string& end,
    const std::string& extraLines, const std::string& zone)
{
    return "UID:" + uid + "\nSUMMARY:" + title + "\nDTSTART;TZID=" + zone + ":" + icalTime(start) + "\nDTEND;TZID=" + zone + ":" + icalTime(end)
        + (extraLines.empty() ? "" : "\n" + extraLines);
}
