#pragma once

#include <string>

// Times on the Today screen as the profile editor writes them: the shared date formatter in the
// editor's "h:mm a" ("9:30 AM"; the phone has no 12- or 24-hour setting of its own). A time and a
// range of times are kept whole on a line: the blanks inside do not break, nor does the dash.
namespace TodayWording {

// "2026-12-08T09:30:00" -> "9:30 AM"; a text that is no local time stays as it is.
std::string clockTime(const std::string& localTime);
// "9:30 AM – 10:00 AM", unbreakable.
std::string range(const std::string& from, const std::string& to);
// A sentence of the report with its "09:30" and "09:30-10:00" written as the editor writes them.
std::string withClockTimes(const std::string& sentence);
// "2026-12-08" -> "Tue, Dec 8", as the phone names a day where room is short (it stands beside
// the span of the look, which takes the row's room on a narrow screen), unbreakable; a text that
// is no date stays as it is.
std::string day(const std::string& isoDay);

}
