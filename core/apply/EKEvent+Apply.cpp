#include "core/apply/EKEvent+Apply.h"

#include "core/profile/HLProfile.h"
#include "core/profile/EKEvent+Hushline.h"

void applyProfile(const std::shared_ptr<EKEvent>& event)
{
    if (!event)
        return;
    auto profile = hl_profile(event);
    if (!profile || !profile->isEnabled() || hl_isProfileApplied(event))
        return;
    hl_setProfileApplied(event, true);
    profile->apply();
}

void revertProfile(const std::shared_ptr<EKEvent>& event, bool quiet)
{
    if (!event)
        return;
    hl_setProfileApplied(event, false);
    if (auto profile = hl_profile(event))
        profile->revert(quiet);
}
