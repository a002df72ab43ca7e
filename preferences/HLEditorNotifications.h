#pragma once

// Posted in the settings process by a screen that changed a new, not yet stored profile, so
// that the profile editor rebuilds its rows.
inline constexpr const char* kHLProfileDataUpdateNotification = "com.velloq.ProfileDataUpdateNotification";
