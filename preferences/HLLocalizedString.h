#pragma once

#include <string>

// A text of the settings plug-in: the English text is the key into the string table of
// "/Library/PreferenceBundles/HushlinePreferences.bundle"; when that bundle cannot be opened the
// host application's bundle is asked, with the empty text as its default.
std::string HLLocalizedString(const std::string& key);
