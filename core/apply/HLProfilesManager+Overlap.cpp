#include "core/profile/HLProfilesManager.h"

#include "core/apply/HLSavedState.h"

void HLProfilesManager::refreshAppliedProfiles()
{
    std::vector<std::shared_ptr<HLProfile>> applied;
    for (const auto& profile : activeProfiles())
        if (profile->isApplied())
            applied.push_back(profile);
    // A profile applied while a revert was giving the owner's volumes back found the saved
    // volumes still there, and that revert removed them: it keeps the owner's volumes as the
    // ones its own revert gives back, not the profile's own that it set since.
    if (!applied.empty())
        HLSavedState::keepReturningVolumes();
    for (const auto& profile : applied)
        profile->refreshSoundSettingsIfRequired();
}
