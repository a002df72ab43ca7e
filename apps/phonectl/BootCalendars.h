#pragma once

#include <filesystem>
#include <vector>

// The calendar folders a boot links (phonectl boot and run, their --calendars):
// - folders given: they are linked; a phone linked to the session (--session) also remembers
//   them (RememberedCalendars.h) in place of what it remembered;
// - "none", alone: nothing is linked and the links of an earlier boot go; a phone linked to the
//   session also forgets its remembered folders;
// - nothing given: a phone linked to the session links its remembered folders, a remembered
//   folder that no longer exists being a warning while the others are linked; a phone of its
//   own keeps the links it has.
// The user's remembered folders belong to the phone linked to the session: a phone of its own
// (a test's, ./run's demo) neither reads nor changes them. Warnings go to the error output, one
// line each. Throws PhonectlError, before anything is changed, as planCalendarAccounts does.
void linkBootCalendars(const std::filesystem::path& root, const std::vector<std::filesystem::path>& given, bool session);
