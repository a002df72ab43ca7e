#pragma once

#include <filesystem>
#include <string>
#include <vector>

// How the folders given to --calendars become the phone's calendar accounts. The phone reads
// "<account>/<calendar>/*.ics"; a user's folder is told apart by what it holds:
// - a calendar: .ics files (or a displayname or color file) of its own, as a vdirsyncer pair
//   without collections writes them;
// - an account: one sub-folder per calendar, as one vdirsyncer pair with collections writes them;
//   the account is named after the folder;
// - pairs: sub-folders that hold only sub-folders, as several vdirsyncer pairs side by side write
//   them; each pair becomes an account of its own, named after the pair's folder. The calendars
//   beside the pairs form the account named after the folder, and empty sub-folders beside pairs
//   are taken for pairs not synced yet.
// Names are folder names (leading dots dropped, as the phone hides dotted folders), so that a
// calendar's identifier "<account>/<calendar>" stays the same from boot to boot.
struct LinkedAccount {
    std::string name;
    // The user's folder the account stands for (absolute).
    std::filesystem::path folder;
    // Empty: the folder is linked whole, so calendars added to it later are read too. Otherwise
    // only these calendar folders are (the folder also holds pairs, or is a calendar itself).
    std::vector<std::filesystem::path> calendars;
};

struct CalendarAccounts {
    std::vector<LinkedAccount> accounts;
    // One line each, for phonectl's error output.
    std::vector<std::string> warnings;
};

// The name a folder has on the phone: its own, leading dots dropped ("Calendars" when nothing is
// left).
std::string phoneFolderName(const std::filesystem::path& folder);

// The accounts of all folders. A folder that yields none (vdirsyncer has not synced it yet) is
// linked whole with a warning, so that what is synced into it later is read. The same account
// given twice is linked once. Throws PhonectlError for a missing folder, and for two different
// folders that would be accounts of one name.
CalendarAccounts planCalendarAccounts(const std::vector<std::filesystem::path>& folders);
