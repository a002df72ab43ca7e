#pragma once

#include "platform/eventkit/ICalendarLoader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A read calendar file as bytes and back, so that it need not be parsed again while the file is
// unchanged (CalendarCache). The bytes hold what loadICalendar made of the file: its events with
// their recurrences (and what of them has been expanded), the zones only the file defines (as
// their VTIMEZONE text), what was skipped and why. Built-in zones are named, not copied. Only
// this build of the program reads them back.
//
// The bytes begin with the file's summary, which can be read without decoding the rest.
std::string encodeICalendarFile(const ICalendarFile&);

// Null when the bytes are damaged or name a zone this machine does not know.
std::unique_ptr<ICalendarFile> decodeICalendarFile(std::string_view bytes);

// What the calendar index needs to know of an encoded file before, and usually instead of,
// decoding it: the span its occurrences fall in and the UIDs of its events. Of the 10,000 files
// of a large calendar a look at one day needs a handful.
struct ICalendarFileSummary {
    int64_t earliest { INT64_MIN }; // no occurrence starts before
    int64_t latest { INT64_MAX };   // no occurrence ends after
    // The file must be decoded as soon as it is read: it replaces occurrences of a series (which
    // changes the events of other files), has an event without UID (found only by its file), or
    // has problems to report.
    bool readAtOnce { true };
    // 8 bytes per event: iCalendarUidHash of its UID.
    std::string_view uidHashes;
    // Of a file whose one event recurs: the original starts of its occurrences expanded when it
    // was encoded (8 bytes each, ascending), which are all of those within [knownFrom, knownTo];
    // knownTo < knownFrom when nothing is known. And how long an occurrence may last.
    std::string_view knownStarts;
    int64_t knownFrom { 0 };
    int64_t knownTo { -1 };
    int64_t longestDuration { 0 };

    bool mayHoldUid(uint64_t hash) const;
    // The same for any of the hashes, which are sorted.
    bool mayHoldAnyUid(const std::vector<uint64_t>& sortedHashes) const;
    // Whether an occurrence may overlap [from, to]; false only when the span or the known starts
    // rule it out.
    bool mayOccurIn(double from, double to) const;
};

uint64_t iCalendarUidHash(std::string_view uid);

// nullopt when the bytes are damaged. The summary's uidHashes point into the bytes.
std::optional<ICalendarFileSummary> summaryOfEncodedICalendarFile(std::string_view bytes);
