#pragma once

#include "platform/preferences/ToneController.h"
#include "preferences/HLNavigationChrome.h"

#include <optional>
#include <string>

class UIColor;

// The base of the alert-tone screen. It relies on one of the system's tone-settings screens for
// the tone list itself, chosen by the system's version when the class is first used: before 9
// "ToneController", otherwise "PSUIToneController" where it exists, else "SHSToneController".
// Without any of them the screen stays a plain screen without a tone list and says so in the log.
// It carries the navigation chrome: share button, a title label, colours saved and restored.
class HushlineUIToneController : public ToneController {
public:
    HushlineUIToneController();

    // The name of the tone-settings class the screen builds on; none when the system has none.
    static const std::optional<std::string>& toneSuperclassName();

    // Hands the picker to the tone-settings screen, which draws its tone list.
    void setTonePickerViewController(std::shared_ptr<TKTonePickerViewController> picker) override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    long prevStatubarStyle() const { return m_chrome.prevStatubarStyle(); }
    const std::shared_ptr<UIColor>& prevTintcolor() const { return m_chrome.prevTintcolor(); }
    const std::shared_ptr<UIColor>& prevBarTintcolor() const { return m_chrome.prevBarTintcolor(); }

private:
    HLNavigationChrome m_chrome;
};
