#include "apps/springboard/AppliedProfiles.h"

#include "platform/foundation/PropertyList.h"
#include "platform/machinery/DeviceRoot.h"

namespace {

constexpr const char* kProfilesPath = "/var/mobile/Library/Preferences/com.velloq.hushline.profiles.plist";

}

bool isAnyProfileApplied()
{
    auto file = PropertyList::read(DeviceRoot::resolve(kProfilesPath));
    if (!file || !file->asArray())
        return false;
    for (const PlistValue& entry : *file->asArray())
        if (entry["applied"].boolValue())
            return true;
    return false;
}
