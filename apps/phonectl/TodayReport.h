#pragma once

#include "apps/phonectl/TodayEvent.h"
#include "apps/phonectl/TodayRecorder.h"

#include <memory>
#include <vector>

class HLProfile;

// The answer of "phonectl today" as one dictionary, which `--json` prints as it is and which a
// screen can render without knowing the system's rules. Every moment and every event passed over
// carries its sentence ("text"), so that all renderings read alike.
//
//   "day": "2026-12-08", "from", "until": the span looked at (local times),
//   "hushlineEnabled": the master switch,
//   "network": the joined Wi-Fi network (absent when none),
//   "assumption": the one line saying what the look takes for granted,
//   "appliedAtStart": [ { "profile", "profileTitle", "because", "text" } ]: on when the look began,
//   "moments": [ { "time", "profile", "profileTitle", "action", "endTone", "atStart", "because",
//       "text" } ] in time order; "action" is "applied", "reverted", "revertedQuietly" or
//       "refreshed"; "atStart" marks what the shadow phone's start-up did at the first moment,
//       which the real phone does at its next pass;
//       "because" is { "kind", "event", "next", "network", "hoursEnd" } (see TodayRecorder),
//   "profiles": [ { "identifier", "title", "enabled", "allDay", "hours", "calendars", "networks",
//       "notActedUpon": [ { "event", "reason", "text", "wanted", "status", "network" } ] } ]
//       where "reason" is "hushlineOff", "profileDisabled", "calendarNotChosen", "cancelled",
//       "attendance", "allDayIgnored", "outsideActiveHours", "followsNetwork", "alreadyQuiet",
//       "notChosen".
struct TodayScope {
    NSDate from;
    NSDate until;
    bool hushlineEnabled { true };
    std::optional<std::string> network;
};

PlistDictionary buildTodayReport(const TodayScope&, const TodayRecorder&, const std::vector<std::shared_ptr<HLProfile>>& profiles,
    const std::vector<TodayEvent>& eventsOfTheDay);
