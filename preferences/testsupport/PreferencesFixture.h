#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/testsupport/DeviceFixture.h"

#include <memory>
#include <string>
#include <vector>

class HushlinePreferencesController;
class PSListController;
class UIAlertController;
class UINavigationController;
class UIViewController;

// The test process plays the Settings app on an OS 13.3 phone with the settings bundle
// installed: `openRootList()` makes the plug-in's first screen the way the app does and shows
// it in a navigation controller as the window's root.
class PreferencesFixture : public DeviceFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    void writeSettings(bool enabled) const;
    void writeProfiles(const PlistArray& entries) const;
    PlistArray storedProfiles() const;
    // A profile entry as the profiles file holds it.
    static PlistDictionary profileEntry(int64_t identifier, const std::string& title, bool enabled, bool allDay);

    // Puts the built status-bar library where the phone keeps it.
    void installLibStatusbar() const;

    std::shared_ptr<HushlinePreferencesController> openRootList();
    // The names of the list's rows in order (a group without a name as "[group]", a group with
    // one as "[Name]").
    static std::vector<std::string> rowNames(PSListController&);
    static long rowIndex(PSListController&, const std::string& name);
    // The alert or sheet presented above the controller (or above what it presents).
    static std::shared_ptr<UIAlertController> presentedAlert(UIViewController&);
    // Taps the action with the title on the alert presented above the controller.
    static bool tapAlertAction(UIViewController&, const std::string& title);

    std::shared_ptr<UINavigationController> m_navigation;
};
