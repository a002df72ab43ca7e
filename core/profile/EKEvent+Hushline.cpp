#include "core/profile/EKEvent+Hushline.h"

#include "core/profile/HLProfile.h"
#include "core/NSDate+HLAdditions.h"

namespace {

constexpr const char* kProfileKey = "hl_profile";
constexpr const char* kAppliedKey = "hl_isProfileApplied";

} // namespace

std::shared_ptr<HLProfile> hl_profile(const std::shared_ptr<EKEvent>& event)
{
    const auto* profile = std::any_cast<std::shared_ptr<HLProfile>>(&event->associatedObject(kProfileKey));
    return profile ? *profile : nullptr;
}

void hl_setProfile(const std::shared_ptr<EKEvent>& event, std::shared_ptr<HLProfile> profile)
{
    if (profile)
        event->setAssociatedObject(kProfileKey, std::move(profile));
    else
        event->setAssociatedObject(kProfileKey, {});
}

bool hl_isProfileApplied(const std::shared_ptr<EKEvent>& event)
{
    const auto* applied = std::any_cast<bool>(&event->associatedObject(kAppliedKey));
    return applied && *applied;
}

void hl_setProfileApplied(const std::shared_ptr<EKEvent>& event, bool applied)
{
    event->setAssociatedObject(kAppliedKey, applied);
}

bool hl_isOccuring(const std::shared_ptr<EKEvent>& event)
{
    if (event->status() == EKEventStatusCanceled)
        return false;
    return hl_isBetweenDate(NSDate::date(), event->startDate(), event->endDate());
}
