#pragma once

#include <string>

// The home-screen host's one line at start about its wake-up timers: whether they are real wake
// timers (CLOCK_REALTIME_ALARM, which wakes a suspended machine: the process has CAP_WAKE_ALARM),
// wall-clock timers that fire on time but leave the machine asleep, or timers of the virtual clock.
std::string wakeTimerReport();
