#pragma once

#include "platform/foundation/NSObject.h"


// NSObject(Hushline): the buttons mark, a flag any object can carry (the system keeps it on the
// shared AVSystemController). Set when the user pressed a volume button; cleared before the
// system changes volumes itself. Absent reads as false.
bool hl_ChangedViaHWButtons(const NSObject& object);
void hl_setChangedViaHWButtons(NSObject& object, bool changed);

// The ringer volumes the system itself set, in order, until the volume watch hears of each: a
// notice of such a volume, with no button pressed since, is the system's and not the user's.
void hl_noteRingerVolumeSetBySystem(NSObject& object, float volume);
// Whether the volume is the next one the system set (dropping it and any set before it).
bool hl_takeRingerVolumeSetBySystem(NSObject& object, float volume);
