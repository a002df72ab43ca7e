#pragma once

#include "apps/phonectl/PhoneSupervisor.h"
#include "apps/phonectl/SessionPhoneName.h"

// phonectl run: the phone booted and kept in the foreground, for a service manager. It holds the
// session's phone name (SessionPhoneName.h) for as long as it runs, so that one user runs one
// phone; it tells the service manager it is ready once the phone is linked, and it alone speaks
// to the service manager (the phone's processes never see NOTIFY_SOCKET). SIGTERM, SIGINT, SIGHUP
// and the end of the session bus (a logout, a crashed session) stop the phone as phonectl stop
// does; when run itself is killed, the phone stops on its own (BootOptions::foreground). Returns
// the exit status; throws PhonectlError when the phone cannot start.
int runPhoneInForeground(const BootOptions&);
