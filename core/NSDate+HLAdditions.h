#pragma once

#include "platform/foundation/NSDate.h"

// Day bounds and range tests in local time.

// Local midnight that starts the date's day.
NSDate hl_beginningOfDay(const NSDate&);
// The last second of the date's day: the next day's midnight less one second, so that a day
// with a daylight-saving change keeps its real length.
NSDate hl_endOfDay(const NSDate&);
// Both bounds count as inside; with earliest after latest nothing is inside.
bool hl_isBetweenDate(const NSDate&, const NSDate& earliest, const NSDate& latest);
