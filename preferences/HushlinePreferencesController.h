#pragma once

#include "preferences/HushlineBaseEditableSettingsController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class HLProfile;
struct NSNotification;

// The settings plug-in's first screen: the product header, the master switch, the active and
// inactive profiles and the links to the miscellaneous screen and to the Today screen (which the
// Settings app provides). Profiles are added through the
// profile editor (presented modally) and deleted after a confirmation sheet.
class HushlinePreferencesController : public HushlineBaseEditableSettingsController {
public:
    ~HushlinePreferencesController() override;

    void initForContentSize() override;
    // The settings file, as a phone path.
    static std::string settingsFilePath();

    const Specifiers& specifiers() override;
    PlistValue preferenceValue(const std::shared_ptr<PSSpecifier>&) const;
    void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>&) override;
    // Replaces the settings file with `settings` (binary property list); false, with the log line
    // and an error alert, when it cannot be written.
    bool writeSettings();
    Specifiers specifiersFromProfiles(const std::vector<std::shared_ptr<HLProfile>>& profiles) const;
    std::shared_ptr<PSSpecifier> profileSpecifier(const std::shared_ptr<HLProfile>& profile) const;

    const Specifiers& enabledProfilesSpecifiers();
    const Specifiers& disabledProfilesSpecifiers();
    const Specifiers& aboutSpecifiers();

    std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index) override;
    UITableViewCellEditingStyle tableViewEditingStyleForRow(size_t index) override;
    void tableViewCommitEditingStyle(UITableViewCellEditingStyle, size_t index) override;
    // _editButtonBarItem: the system add button.
    std::shared_ptr<UIBarButtonItem> editButtonBarItem() override;
    void addProfileAction();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void profilesUpdated(const NSNotification&);
    void profileAppliedStateChanged(const NSNotification&);

    // The year of the footer, taken when the list is built.
    long year() const { return m_year; }

private:
    Specifiers profileGroups();
    void reloadFromStore();
    void deleteProfileConfirmed(const std::shared_ptr<PSSpecifier>& row, const std::shared_ptr<HLProfile>& profile);

    std::optional<Specifiers> m_enabledProfilesSpecifiers;
    std::optional<Specifiers> m_disabledProfilesSpecifiers;
    std::optional<Specifiers> m_aboutSpecifiers;
    long m_year { 0 };
};
