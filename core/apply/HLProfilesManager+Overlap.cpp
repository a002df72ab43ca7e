#include "core/profile/HLProfilesManager.h"

void HLProfilesManager::refreshAppliedProfiles()
{
    for (const auto& profile : activeProfiles())
        if (profile->isApplied())
            profile->refreshSoundSettingsIfRequired();
}
