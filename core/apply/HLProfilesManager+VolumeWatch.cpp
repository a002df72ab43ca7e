#include "core/profile/HLProfilesManager.h"

#include "platform/foundation/NSNotificationCenter.h"

// The store observes every system volume change from start-up on. What a change means while a
// profile is applied (asking whether to keep the user's new volume) is decided by the volume
// watch, which is built with the hardware-button hooks; until then a change needs nothing.
void HLProfilesManager::volumeChanged(const NSNotification&)
{
}
