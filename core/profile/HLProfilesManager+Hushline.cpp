#include "core/profile/HLProfilesManager.h"

#include "core/HLLog.h"


// The update that saves a record without announcing it (how a profile's applied state is kept),
// and announces the usual change when asked to.
void HLProfilesManager::updateProfile(const std::shared_ptr<HLProfile>& profile, bool shouldPostNotification, Success success, Failure failure)
{
    if (!stageUpdate(profile, failure))
        return;
    const char* name = shouldPostNotification ? kHLProfileChangedNotification : "";
    if (saveAllProfilesToDisk(profile, shouldPostNotification, name)) {
        HLLogInfo("HLProfilesManager+Hushline -> Profile updated successfully.");
        if (success)
            success();
    } else if (failure) {
        failure(storeError("Unable to save profiles to disk."));
    }
}
