#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/preferences/PSEditableListController.h"
#include "preferences/HLNavigationChrome.h"

#include <optional>

// The base of the root list: an editable list with the plug-in's navigation chrome and the
// settings file's content.
class HushlineBaseEditableSettingsController : public HLChromedListController<PSEditableListController> {
public:
    // The settings file's dictionary; none when the file was missing or unreadable.
    const std::optional<PlistDictionary>& settings() const { return m_settings; }

protected:
    std::optional<PlistDictionary> m_settings;
};
