#pragma once

#include "core/profile/HLProfilesManager.h"
#include "platform/testsupport/PhoneBusFixture.h"

#include <string>

// The test process plays the home screen: SpringBoard's bundle and application object, on a
// phone with its own bus, running OS 13.3, with the settings bundle installed. `launch()` loads
// the plug-in the way the host does and lets SpringBoard finish launching.
class SpringBoardFixture : public PhoneBusFixture {
protected:
    void SetUp() override;

    void load();
    void launch();

    // What the plug-in wrote to "/tmp/velloq.log".
    std::string pluginLog() const;
    size_t pluginLogCount(const std::string& text) const;

    bool settingsFileExists() const;
    void writeSettings(bool enabled) const;
    void writeProfiles(const PlistArray& entries) const;
    PlistArray storedProfiles() const;
};
