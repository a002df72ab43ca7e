#include "core/apply/NSObject+Hushline.h"

#include <algorithm>
#include <any>
#include <vector>

namespace {

constexpr const char* kChangedViaHWButtonsKey = "hl_ChangedViaHWButtons";
constexpr const char* kRingerVolumeSetBySystemKey = "hl_ringerVolumeSetBySystem";

}

bool hl_ChangedViaHWButtons(const NSObject& object)
{
    const bool* flag = std::any_cast<bool>(&object.associatedObject(kChangedViaHWButtonsKey));
    return flag && *flag;
}

void hl_setChangedViaHWButtons(NSObject& object, bool changed)
{
    object.setAssociatedObject(kChangedViaHWButtonsKey, changed);
}

void hl_noteRingerVolumeSetBySystem(NSObject& object, float volume)
{
    std::vector<float> volumes;
    if (const auto* noted = std::any_cast<std::vector<float>>(&object.associatedObject(kRingerVolumeSetBySystemKey)))
        volumes = *noted;
    volumes.push_back(volume);
    object.setAssociatedObject(kRingerVolumeSetBySystemKey, std::move(volumes));
}

bool hl_takeRingerVolumeSetBySystem(NSObject& object, float volume)
{
    const auto* noted = std::any_cast<std::vector<float>>(&object.associatedObject(kRingerVolumeSetBySystemKey));
    if (!noted)
        return false;
    auto it = std::find(noted->begin(), noted->end(), volume);
    if (it == noted->end())
        return false;
    object.setAssociatedObject(kRingerVolumeSetBySystemKey, std::vector<float>(it + 1, noted->end()));
    return true;
}
