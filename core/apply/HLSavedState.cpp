#include "core/apply/HLSavedState.h"

#include "platform/foundation/NSUserDefaults.h"

#include <initializer_list>

namespace {

void remove(std::initializer_list<const char*> keys)
{
    auto& defaults = NSUserDefaults::standardUserDefaults();
    for (const char* key : keys)
        defaults.removeObjectForKey(key);
    defaults.synchronize();
}

}

void HLSavedState::removeVolumes()
{
    remove({ kRingerVolumeKey, kPlaybackVolumeKey });
}

void HLSavedState::removeVibrate()
{
    remove({ kRingVibrateKey, kSilentVibrateKey });
}

void HLSavedState::removeDoNotDisturb()
{
    remove({ kDoNotDisturbKey });
}

void HLSavedState::removeAll()
{
    remove({ kRingerVolumeKey, kPlaybackVolumeKey, kRingVibrateKey, kSilentVibrateKey, kDoNotDisturbKey });
}

bool HLSavedState::isAnySaved()
{
    auto& defaults = NSUserDefaults::standardUserDefaults();
    for (const char* key : { kRingerVolumeKey, kPlaybackVolumeKey, kRingVibrateKey, kSilentVibrateKey, kDoNotDisturbKey })
        if (!defaults.objectForKey(key).isNone())
            return true;
    return false;
}
