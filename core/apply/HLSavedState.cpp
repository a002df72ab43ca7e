#include "core/apply/HLSavedState.h"

#include "platform/foundation/NSUserDefaults.h"

#include <initializer_list>

namespace {

std::optional<HLSavedState::Returning> g_returning;
uint64_t g_returningRevert = 0;

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

uint64_t HLSavedState::noteReturning(const Returning& volumes)
{
    g_returning = volumes;
    return ++g_returningRevert;
}

std::optional<HLSavedState::Returning> HLSavedState::returning()
{
    return g_returning;
}

void HLSavedState::returned(uint64_t revert)
{
    if (revert == g_returningRevert)
        g_returning.reset();
}

void HLSavedState::keepReturningVolumes()
{
    if (!g_returning)
        return;
    auto& defaults = NSUserDefaults::standardUserDefaults();
    if (defaults.objectForKey(kRingerVolumeKey).isNone())
        defaults.setFloat(g_returning->ringerVolume, kRingerVolumeKey);
    if (defaults.objectForKey(kPlaybackVolumeKey).isNone())
        defaults.setFloat(g_returning->playbackVolume, kPlaybackVolumeKey);
    defaults.synchronize();
}
