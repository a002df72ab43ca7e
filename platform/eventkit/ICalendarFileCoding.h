#pragma once

#include "platform/eventkit/ICalendarLoader.h"

#include <memory>
#include <string>
#include <string_view>

// A read calendar file as bytes and back, so that it need not be parsed again while the file is
// unchanged (CalendarCache). The bytes hold what loadICalendar made of the file: its events with
// their recurrences (and what of them has been expanded), the zones only the file defines (as
// their VTIMEZONE text), what was skipped and why. Built-in zones are named, not copied. Only
// this build of the program reads them back.
std::string encodeICalendarFile(const ICalendarFile&);

// Null when the bytes are damaged or name a zone this machine does not know.
std::unique_ptr<ICalendarFile> decodeICalendarFile(std::string_view bytes);
