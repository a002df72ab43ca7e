#pragma once

#include "platform/foundation/NSError.h"

class UIViewController;

// PSListController(Hushline_Addons) and PSViewController(Hushline_Addons): hl_showError: presents
// an alert titled "Error" with the error's localised description and one "Close" button.
void hl_showError(UIViewController& controller, const NSError& error);

// A store operation of a screen failed: the store reads the file again and every open screen
// shows what it holds (they reload on the applied-state notice), then the error is shown. So a
// value the store could not keep is not left on any screen.
void hl_showStoreError(UIViewController& controller, const NSError& error);
