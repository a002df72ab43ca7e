#include "core/profile/HLProfile.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSBundle.h"

#include <array>

std::string HLProfile::applyProfileEventStatusString() const
{
    static constexpr std::array<const char*, 4> keys { "All", "Accepted", "Tentative", "Declined/Cancelled" };
    auto bundle = NSBundle::bundleWithPath(kHLPreferencesBundlePath);
    std::array<std::string, 4> labels;
    for (size_t i = 0; i < keys.size(); ++i)
        labels[i] = bundle ? bundle->localizedStringForKey(keys[i]) : NSBundle::mainBundle()->localizedStringForKey(keys[i], "");
    return labels[static_cast<size_t>(applyProfileEventStatus())];
}
