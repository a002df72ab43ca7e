#pragma once

#include "apps/phonectl/PhoneSupervisor.h"

// phonectl run: the phone booted and kept in the foreground, for a service manager. It holds a
// well-known name on the session bus for as long as it runs, so that one user runs one phone;
// it tells the service manager it is ready once the phone is linked (sd_notify); SIGTERM, SIGINT,
// SIGHUP and the end of the session bus stop the phone as phonectl stop does. Returns the exit
// status; throws PhonectlError when the phone cannot start.
int runPhoneInForeground(const BootOptions&);

// The name on the session bus that one running phone of a user holds.
inline constexpr const char* kForegroundPhoneName = "com.velloq.hushline.Phone";
