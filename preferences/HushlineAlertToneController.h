#pragma once

#include "platform/tonekit/TKTonePickerViewController.h"
#include "preferences/HushlineUIToneController.h"

class HLProfile;
class HushlineTKTonePickerViewController;
struct NSNotification;

// The alert-tone picker: the phone's tones with the profile's alert tone selected ("Calendar
// Alert" for a profile without one), the entry for no tone at the top. The chosen tone becomes
// the profile's alert tone; no tone stands for the picker's default tone.
class HushlineAlertToneController : public HushlineUIToneController, public TKTonePickerViewControllerDelegate {
public:
    static constexpr int64_t kAlertType = 10;
    static constexpr const char* kDefaultToneIdentifier = "texttone:Calendar Alert";

    ~HushlineAlertToneController() override;

    void loadView() override;
    void viewDidLoad() override;

    void tonePickerViewControllerSelectedToneWithIdentifier(TKTonePickerViewController& picker,
        const std::optional<std::string>& identifier) override;
    // A new profile: the profile editor hears of the change and rebuilds its rows. A stored one is
    // written; its screens hear of it as of an applied-state change.
    void saveProfile();
    void profileAppliedStateChanged(const NSNotification&);

    std::shared_ptr<HLProfile> profile() const;
    const std::shared_ptr<HushlineTKTonePickerViewController>& createdTonePickerViewController() const { return m_picker; }

private:
    // The picker's checkmark on the tone the profile holds.
    void showStoredTone();

    std::shared_ptr<HushlineTKTonePickerViewController> m_picker;
};
