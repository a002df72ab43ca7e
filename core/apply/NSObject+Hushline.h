#pragma once

#include "platform/foundation/NSObject.h"

// NSObject(Hushline): the buttons mark, a flag any object can carry (the system keeps it on the
// shared AVSystemController). Set when the user pressed a volume button; cleared before the
// system changes volumes itself. Absent reads as false.
bool hl_ChangedViaHWButtons(const NSObject& object);
void hl_setChangedViaHWButtons(NSObject& object, bool changed);
