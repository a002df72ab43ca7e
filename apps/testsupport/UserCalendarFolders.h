#pragma once

// A user's own calendar folders, as vdirsyncer writes them, in a temporary folder of the test's
// (include in tests only).

#include "platform/machinery/AtomicFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class UserCalendarFolders {
public:
    UserCalendarFolders()
    {
        char pattern[] = "/tmp/hushline-user-calendars-XXXXXX";
        if (mkdtemp(pattern))
            m_base = pattern;
    }
    ~UserCalendarFolders()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_base, ignored);
    }
    UserCalendarFolders(const UserCalendarFolders&) = delete;
    UserCalendarFolders& operator=(const UserCalendarFolders&) = delete;

    // The folder at the relative path, made with its parents.
    std::filesystem::path folder(const std::string& relative) const
    {
        auto path = m_base / relative;
        std::filesystem::create_directories(path);
        return path;
    }

    // An event of 2026-12-08 from HH:MM to HH:MM, local time, as a file of its own.
    void event(const std::string& calendar, const std::string& title, const std::string& start, const std::string& end) const
    {
        auto digits = [](std::string time) { return time.erase(2, 1) + "00"; };
        std::string uid = title + "@example.org";
        ASSERT_TRUE(writeFileAtomically(folder(calendar) / (title + ".ics"),
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//vdirsyncer//EN\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20261201T080000Z\r\n"
                "DTSTART:20261208T" + digits(start) + "\r\nDTEND:20261208T" + digits(end) + "\r\nSUMMARY:" + title
                + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"));
    }

    // A one-line file in the folder (displayname, color).
    void field(const std::string& calendar, const std::string& name, const std::string& value) const
    {
        ASSERT_TRUE(writeFileAtomically(folder(calendar) / name, value + "\n"));
    }

    const std::filesystem::path& base() const { return m_base; }

private:
    std::filesystem::path m_base;
};
