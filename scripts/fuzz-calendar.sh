#!/usr/bin/env bash
# Fuzzes the calendar file loader with libFuzzer (clang, address and undefined-behaviour
# sanitizers), outside the main build: builds build/fuzz-calendar/ICalendarLoader_fuzz, seeds a
# corpus and runs for a while.
#   scripts/fuzz-calendar.sh [SECONDS]   (default 60)
# Crashes, leaks and slow inputs are written to build/fuzz-calendar/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz-calendar
mkdir -p "$out/corpus" "$out/artifacts"

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I. \
    $(pkg-config --cflags libical) \
    platform/eventkit/ICalendarLoader_fuzz.cpp platform/eventkit/ICalendarLoader.cpp \
    platform/eventkit/ICalendarRecurrence.cpp platform/eventkit/ICalendarTime.cpp \
    $(pkg-config --libs libical) -o "$out/ICalendarLoader_fuzz"

seed() { printf '%b' "$2" >"$out/corpus/$1.ics"; }
head='BEGIN:VCALENDAR\r\nVERSION:2.0\r\n'
tail='END:VCALENDAR\r\n'
seed weekly "${head}BEGIN:VEVENT\r\nUID:w\r\nDTSTART;TZID=Europe/Berlin:20261020T100000\r\nDTEND;TZID=Europe/Berlin:20261020T110000\r\nRRULE:FREQ=WEEKLY;BYDAY=TU;UNTIL=20271231T000000Z\r\nEXDATE;TZID=Europe/Berlin:20261103T100000\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:w\r\nRECURRENCE-ID;TZID=Europe/Berlin:20261110T100000\r\nDTSTART;TZID=Europe/Berlin:20261112T150000\r\nEND:VEVENT\r\n${tail}"
seed allday "${head}BEGIN:VEVENT\r\nUID:d\r\nDTSTART;VALUE=DATE:19800229\r\nRRULE:FREQ=YEARLY\r\nEXDATE;VALUE=DATE:20280229\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n${tail}"
seed count "${head}BEGIN:VEVENT\r\nUID:c\r\nDTSTART:20190131T100000Z\r\nDURATION:PT45M\r\nRRULE:FREQ=HOURLY;INTERVAL=7;COUNT=500\r\nRDATE:20190201T000000Z,20190202T000000Z\r\nEND:VEVENT\r\n${tail}"
seed monthly "${head}BEGIN:VEVENT\r\nUID:m\r\nDTSTART:20240126T100000\r\nRRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1\r\nEND:VEVENT\r\n${tail}"
seed zone "${head}BEGIN:VTIMEZONE\r\nTZID:Custom\r\nBEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:z\r\nDTSTART;TZID=Custom:20261208T100000\r\nRRULE:FREQ=DAILY;BYHOUR=9,17;BYMINUTE=0,30\r\nEND:VEVENT\r\n${tail}"
seed undefined "${head}BEGIN:VEVENT\r\nUID:u\r\nDTSTART;TZID=\"GMT-05.00/-04.00\":20261020T100000\r\nDTEND;TZID=\"GMT-05.00/-04.00\":20261020T110000\r\nRRULE:FREQ=WEEKLY;UNTIL=20261117T090000Z\r\nEXDATE;TZID=\"GMT-05.00/-04.00\":20261103T100000\r\nRDATE;TZID=Made/Up:20261105T140000\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:u\r\nRECURRENCE-ID;TZID=\"GMT-05.00/-04.00\":20261110T100000\r\nDTSTART;TZID=\"GMT-05.00/-04.00\":20261112T150000\r\nEND:VEVENT\r\n${tail}"

cat >"$out/ical.dict" <<'DICT'
"BEGIN:VCALENDAR"
"END:VCALENDAR"
"BEGIN:VEVENT"
"END:VEVENT"
"BEGIN:VTIMEZONE"
"END:VTIMEZONE"
"BEGIN:STANDARD"
"BEGIN:DAYLIGHT"
"DTSTART"
"DTEND"
"DURATION:P"
"RRULE:FREQ="
"RDATE"
"EXDATE"
"RECURRENCE-ID"
";TZID="
";VALUE=DATE:"
"SECONDLY"
"MINUTELY"
"HOURLY"
"DAILY"
"WEEKLY"
"MONTHLY"
"YEARLY"
";COUNT="
";UNTIL="
";INTERVAL="
";BYDAY="
";BYSETPOS="
";BYMONTHDAY="
";BYYEARDAY="
";BYWEEKNO="
";BYMONTH="
";BYHOUR="
";WKST="
";RSCALE="
"STATUS:CANCELLED"
"TZOFFSETFROM:"
"TZOFFSETTO:"
DICT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
"$out/ICalendarLoader_fuzz" "$out/corpus" -dict="$out/ical.dict" -max_total_time="$seconds" -max_len=8192 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/artifacts/"
