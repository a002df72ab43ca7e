#pragma once

#include "platform/foundation/PlistValue.h"

#include <string>

// The report of "phonectl today" (TodayReport.h; its dates as dates or as their local time) as
// people read it: the span and the one-line assumption, what is on at the start, one line per
// moment, then per profile the events that do not silence the phone, each with its reason.
std::string todayText(const PlistValue& report);
