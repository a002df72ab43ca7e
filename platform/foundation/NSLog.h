#pragma once

#include <cstdio>

// One line on the error stream: "<local time> <process>[<pid>] <message>", as the phone's
// standard log call writes it. Safe to call from any thread; each line is written whole.
void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The process name shown in log lines (defaults to the program's short name).
void NSLogSetProcessName(const char* name);

// Whether lines are written (the default). A process whose log would go nowhere (the shadow
// phone of `phonectl today`, whose error stream is /dev/null) skips the formatting and writing.
void NSLogSetEnabled(bool enabled);
