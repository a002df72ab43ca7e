#pragma once

#include "preferences/HLVelloqListController.h"
#include "platform/preferences/PSSpecifier.h"

#include <functional>
#include <memory>
#include <optional>

struct NSNotification;
class HLProfile;

// The screen of one profile: its title, the enable switch and, while the profile is enabled, its
// schedule, volumes, alerts, Do Not Disturb, status-bar icon, Wi-Fi networks and calendars. Rows
// come and go as the switches change. An existing profile is stored after every change; a new
// one (presented modally by the root list with Cancel and Save) only when the user saves it.
class HushlineProflePreferencesController : public HLVelloqListController {
public:
    ~HushlineProflePreferencesController() override;

    void setSpecifier(std::shared_ptr<PSSpecifier> specifier) override;
    const Specifiers& specifiers() override;
    void viewDidLoad() override;
    void reloadSpecifiers() override;
    std::shared_ptr<PSTableCell> tableViewCellForRow(size_t index) override;

    PlistValue readPreferenceValue(const std::shared_ptr<PSSpecifier>&) override;
    void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>&) override;
    void setAllDayModeEnabled(const PlistValue& value, const std::shared_ptr<PSSpecifier>&);

    // Stores an existing profile; a new one waits for addProfileAction.
    void saveProfile();
    // The save button of a new profile.
    void addProfileAction();
    // The cancel button of a new profile: nothing is stored.
    void dismissVieControllerAction();

    void profileUpdated(const NSNotification&);
    void profileAppliedStateChanged(const NSNotification&);

    // The sections of the list (each built afresh).
    Specifiers profileEnabledSpecifiers();
    Specifiers activeTimeSpecifiers();
    Specifiers ringerVolumeSpecifiers();
    Specifiers alertSpecifiers();


    const std::shared_ptr<HLProfile>& profile() const { return m_profile; }

    // Positions in the whole list (0 the first empty group, 1 "Title", 2 the second empty group,
    // 3 "Enable").
    static constexpr size_t kEnabledSectionIndex = 4;
    static constexpr size_t kActiveTimeIndex = 6;

private:
    const Specifiers& profilesSpecifiers();
    Specifiers titleSpecifiers();
    Specifiers statusBarSpecifiers();
    Specifiers wifiAndCalendarSpecifiers();
    // A row read and written through this screen.
    std::shared_ptr<PSSpecifier> valueRow(const std::string& label, const std::string& identifier, PSCellType cell,
        const std::string& cellClass, std::string detail = {});
    std::shared_ptr<PSSpecifier> switchRow(const std::string& label, const std::string& identifier, bool defaultValue);
    std::shared_ptr<PSSpecifier> sliderRow(const std::string& label, const std::string& identifier);

    void sectionChangesAfterSetting(const std::string& identifier);
    void enabledChange();
    void alertToneChange(bool animated);
    void activeTimeChange();
    void refreshFromStore();
    bool refuseEmptyTitle();
    // Stores an existing profile; when the store fails, `undo` puts back what it had.
    void saveProfile(std::function<void()> undo);

    std::shared_ptr<HLProfile> m_profile;
    std::optional<Specifiers> m_profilesSpecifiers;
};
