#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/eventkit/EKCalendar.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class HLProfile;
class PSViewController;

// The user information of the row that opens a picker: a dictionary whose "profile" holds the
// profile being edited (the same record as the profile editor's) and, for the calendar picker,
// whose "calendars" holds the writable calendars by account title (arrays of EKCalendar).

// The "profile" of the user information of the row that opened the screen.
std::shared_ptr<HLProfile> hl_pickerProfile(const PSViewController& picker);
// The "calendars" of that user information, account title -> calendars.
std::map<std::string, std::vector<std::shared_ptr<EKCalendar>>> hl_pickerCalendars(const PSViewController& picker);

// The user information for a picker's opening row; the calendar picker also gets "calendars".
PlistDictionary hl_pickerUserInfo(const std::shared_ptr<HLProfile>& profile);
PlistDictionary hl_calendarPickerUserInfo(const std::shared_ptr<HLProfile>& profile,
    const std::map<std::string, std::vector<std::shared_ptr<EKCalendar>>>& groupedCalendars);

// Fetches the stored record with the profile's identifier (without reloading the file) and, when
// there is one, makes the opening row's user information a new dictionary holding it; with
// `withCalendars` also a fresh "calendars" list. Returns the record now in use. A new profile,
// not stored yet, is kept as it is.
std::shared_ptr<HLProfile> hl_refetchPickerProfile(PSViewController& picker, bool withCalendars = false);
