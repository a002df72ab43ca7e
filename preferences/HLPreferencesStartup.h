#pragma once

// What the settings plug-in does when the Settings app loads it: it listens for the four Darwin
// notifications through which the home-screen side reports profile changes and turns each into
// the local "com.velloq.ProfileAppliedStateChangedNotification", on which every open screen
// reloads its profiles from the store.
void HLPreferencesRegisterDarwinObservers();
