#pragma once

#include "platform/foundation/NSError.h"

class UIViewController;

// PSListController(Hushline_Addons) and PSViewController(Hushline_Addons): hl_showError: presents
// an alert titled "Error" with the error's localised description and one "Close" button.
void hl_showError(UIViewController& controller, const NSError& error);
