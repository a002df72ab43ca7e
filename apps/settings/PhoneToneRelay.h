#pragma once

// Tones the Settings app plays (the preview of a chosen tone) sound on the phone: they are handed
// to the home-screen host over the phone's bus (PlayTone of com.velloq.phone.Control), which
// records them on the device's change log as every tone is.
void relayTonesToHomeScreen();
