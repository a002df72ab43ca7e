#pragma once

#include "platform/eventkit/EKEvent.h"

#include <memory>

// EKEvent(Hushline): applying and reverting the profile an event is scheduled for, once per
// event object.

// Applies the attached profile when it is enabled and not yet applied for this event, and marks
// the event; otherwise nothing.
void applyProfile(const std::shared_ptr<EKEvent>& event);
// Clears the event's mark and reverts the attached profile (quietly when asked).
void revertProfile(const std::shared_ptr<EKEvent>& event, bool quiet = false);
