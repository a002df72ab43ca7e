#include "preferences/PSViewController+Hushline_Addons.h"

#include "platform/uikit/UIAlertController.h"
#include "preferences/HLLocalizedString.h"

void hl_showError(UIViewController& controller, const NSError& error)
{
    auto alert = UIAlertController::alertControllerWithTitle(HLLocalizedString("Error"), error.localizedDescription(),
        UIAlertControllerStyle::Alert);
    // The alert goes away when its action is tapped.
    alert->addAction(UIAlertAction::actionWithTitle(HLLocalizedString("Close"), UIAlertActionStyle::Cancel, nullptr));
    controller.presentViewController(alert, true);
}
