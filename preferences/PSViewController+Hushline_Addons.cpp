#include "preferences/PSViewController+Hushline_Addons.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIAlertController.h"
#include "preferences/HLLocalizedString.h"

void hl_showError(UIViewController& controller, const NSError& error)
{
    // What failed, why, and what to do about it, each on a line of its own.
    std::string message = error.localizedDescription();
    for (const auto& line : { error.localizedFailureReason(), error.localizedRecoverySuggestion() })
        if (!line.empty())
            message += (message.empty() ? "" : "\n") + line;
    auto alert = UIAlertController::alertControllerWithTitle(HLLocalizedString("Error"), message, UIAlertControllerStyle::Alert);
    // The alert goes away when its action is tapped.
    alert->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Close"), UIAlertActionStyle::Cancel, nullptr));
    controller.presentViewController(alert, true);
}

void hl_showStoreError(UIViewController& controller, const NSError& error)
{
    HLProfilesManager::sharedManager().reloadProfiles();
    NSNotificationCenter::defaultCenter().postNotificationName(kHLProfileAppliedStateChangedNotification);
    hl_showError(controller, error);
}
