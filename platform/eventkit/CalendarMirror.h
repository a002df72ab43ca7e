#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The calendars of another calendar service (Evolution Data Server) kept as folders of the
// phone's calendar database, so that every process of the phone reads them as it reads the
// folders vdirsyncer keeps: "<account>/<calendar>/" with "displayname" and "color" files and one
// iCalendar file per stored event. A calendar the service does not let us change gets a folder
// without write permission, which the database reads as a calendar that cannot be modified.
//
// Every file is replaced atomically and only when its content differs, so a reader's inotify
// watch hears of real changes only. The folders the mirror made carry a hidden mark naming the
// service: the mirror never touches a folder it did not make.
class CalendarMirror {
public:
    struct Calendar {
        std::string account;      // folder name of the account
        std::string accountTitle;
        std::string name;         // folder name of the calendar
        std::string title;
        std::optional<std::string> color; // "#RRGGBB"
        bool writable { true };
    };
    using Place = std::pair<std::string, std::string>; // account, calendar

    // `service` names the mirrored service in the folders' marks.
    CalendarMirror(std::filesystem::path calendarsFolder, std::string service);

    // Creates the calendar's folder (it appears whole) or brings its fields up to date.
    void describe(const Calendar&);
    // Writes the file when it differs; false when it cannot be written.
    bool putEvent(const Place&, const std::string& fileName, const std::string& text);
    void removeEvent(const Place&, const std::string& fileName);
    // The names of the calendar's event files.
    std::vector<std::string> eventFiles(const Place&) const;
    // Removes the calendar's folder, and its account's when no calendar is left in it.
    void removeCalendar(const Place&);
    // The calendars this mirror made.
    std::vector<Place> calendars() const;

    // A file name for a stored event: its UID, and for an occurrence stored apart from its
    // series the original start it replaces; any characters, always one safe name per event.
    static std::string eventFileName(const std::string& uid, const std::string& recurrenceId);

private:
    std::filesystem::path folderOf(const Place&) const;
    bool isMirrored(const std::filesystem::path& folder) const;
    void describeAccount(const Calendar&);
    void writeFields(const std::filesystem::path& folder, const Calendar&);

    std::filesystem::path m_root;
    std::string m_service;
};
