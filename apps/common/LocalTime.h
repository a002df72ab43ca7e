#pragma once

#include "platform/foundation/NSDate.h"

#include <optional>
#include <string>

// Times as people type them to the simulated phone: local time (TZ) in the form
// "YYYY-MM-DDTHH:MM:SS" (seconds may be left out: "YYYY-MM-DDTHH:MM"), or a whole day
// "YYYY-MM-DD" (its midnight). nullopt for anything else, including fields out of range
// ("2026-02-30").
std::optional<NSDate> parseLocalTime(const std::string& text);

// The date as "YYYY-MM-DDTHH:MM:SS" in local time, with the fraction of a second when it has one
// ("2026-12-08T09:00:00.250").
std::string formatLocalTime(NSDate date);
