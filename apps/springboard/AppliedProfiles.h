#pragma once

// Whether the phone has a profile applied now, as its profiles file says: while none is, the
// phone is at rest and holds its owner's own values.
bool isAnyProfileApplied();
