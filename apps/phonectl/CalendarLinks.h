#pragma once

#include "apps/phonectl/CalendarFolders.h"

#include <filesystem>
#include <vector>

// The user's calendar folders linked into the phone's calendar folder
// (<root>/var/mobile/Calendars), so that what vdirsyncer writes is read, and watched, in place.
// An account linked whole is a link to its folder; an account of chosen calendars is a folder of
// the phone's own, marked as linked, holding a link per calendar. The links of an earlier boot
// are replaced; the phone's own accounts (its "local" calendars) are never touched.

// Throws PhonectlError, before anything is changed, when the phone has an account of its own by
// the name of one of the accounts.
void linkCalendarAccounts(const std::filesystem::path& root, const std::vector<LinkedAccount>& accounts);

// What boot does with its --calendars folders: plans the accounts (planCalendarAccounts), prints
// each warning on one line of the error output, and links them. Nothing when no folder is given.
void linkCalendarFolders(const std::filesystem::path& root, const std::vector<std::filesystem::path>& folders);
