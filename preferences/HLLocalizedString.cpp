#include "preferences/HLLocalizedString.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSBundle.h"

std::string HLLocalizedString(const std::string& key)
{
    if (auto bundle = NSBundle::bundleWithPath(kHLPreferencesBundlePath))
        return bundle->localizedStringForKey(key, {}, {});
    return NSBundle::mainBundle()->localizedStringForKey(key, "", {});
}
