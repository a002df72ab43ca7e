#pragma once

#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>

// NSObject(Alarm_Hushline): whether a clock alarm is the system's own, by its title ("title",
// else "rawTitle", else "uiTitle", whichever the alarm answers): not empty and beginning with
// "HushlineMe".
bool hl_isHidden(const std::shared_ptr<NSObject>& alarm);
bool hl_createdByHL(const std::shared_ptr<NSObject>& alarm);
