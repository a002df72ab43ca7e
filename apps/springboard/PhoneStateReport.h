#pragma once

#include "platform/foundation/PlistValue.h"

// The whole phone as the control interface's State method reports it: the device's state
// (Device::state()) and, besides,
//   "clock"          the phone's present moment (a date)
//   "virtualClock"   whether the phone runs on a virtual clock
//   "osVersion"      the ProductVersion of the phone's SystemVersion.plist
//   "wifi"           { "current": SSID (absent when not joined), "known": [SSID, ...] }
//   "alarms"         [{ "alarmId", "title", "hour", "minute", "active" }] of the clock
//   "wakeUpTimers"   [{ "service", "fireDate" }] pending, earliest first
//   "profiles"       [{ "identifier", "title", "enabled", "applied" }] from the profiles file
// "alert" is present only while an alert is on screen.
PlistDictionary phoneStateReport();
