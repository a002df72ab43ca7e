#pragma once

#include <optional>
#include <string>

// The home-screen host: the stand-in for SpringBoard of a booted phone (see main.cpp for its
// command line). Its life:
//   1. the main bundle is "com.apple.springboard"; the clock is the phone's (below);
//   2. the Darwin centre on the phone's bus, the control service (com.velloq.phone.Control),
//      and SBWiFiManager's watch on "com.apple.system.config.network_change";
//   3. the plug-ins of /Library/MobileSubstrate/DynamicLibraries whose filter names the bundle
//      are loaded (their constructors start them);
//   4. applicationDidFinishLaunching: through its hookable slot, the midnight watch
//      (_midnightPassed), with --session the resume watch (ResumeWatch: what became due while
//      the machine slept is checked at its wake-up), and the "launched" file
//      (PhoneControl::launchedPath) with the host's process id, which phonectl waits for; one log
//      line says whether the wake-up timers are real wake timers (WakeTimerReport);
//   5. the main run loop, until SIGTERM, SIGINT or SIGHUP.
//
// Clock: with `clock` the host owns the phone's shared virtual clock (SharedClock), started at
// that local time ("YYYY-MM-DDTHH:MM:SS"), at the present moment ("now"), or continued from the
// time it holds ("resume", a restarted host); without, the system clock, and the phone's shared
// clock is removed.
//
// Session (--session): the phone's hardware is the user's own session (SessionLink), linked
// before the plug-ins load; at a stop the session gets its owner's values back before the host
// exits.
struct SpringBoardHostOptions {
    std::optional<std::string> clock;
    bool session { false };
};

// Runs the host; returns the process's exit status. Throws std::runtime_error, saying why, when
// the host cannot start (no device root, the phone's bus not running, a bad clock, another host
// already serving the phone).
int runSpringBoardHost(const SpringBoardHostOptions&);
