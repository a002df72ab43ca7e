#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/preferences/PSEditableListController.h"
#include "preferences/HLNavigationChrome.h"

#include <optional>

// The base of the root list: an editable list with the plug-in's navigation chrome and the
// settings file's content.
class HushlineBaseEditableSettingsController : public PSEditableListController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // __tesselTwitterAction:
    void __tesselTwitterAction();
    // shareAction:
    void shareAction();

    const HLNavigationChrome& chrome() const { return m_chrome; }
    // The settings file's dictionary; none when the file was missing or unreadable.
    const std::optional<PlistDictionary>& settings() const { return m_settings; }

protected:
    std::optional<PlistDictionary> m_settings;

private:
    HLNavigationChrome m_chrome;
};
