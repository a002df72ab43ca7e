// A Settings host for the page's tests of the pickers: it runs as Settings does and, once the
// plug-in's first screen shows, opens the picker named by --open for the first stored profile,
// the way a link row of the profile editor opens it.
//
//   settings_picker_host --root DIR --open CLASS [--web DIR]
//
// CLASS is HushlineCalendarsController, HushlineEventStatusController, HushlineWifiController or
// HushlineAlertToneController.

#include "apps/common/HostMain.h"
#include "apps/common/InstalledFiles.h"
#include "apps/settings/SettingsHost.h"
#include "core/profile/HLProfilesManager.h"
#include "core/schedule/HLEventManager.h"
#include "platform/preferences/PSListController.h"
#include "platform/preferences/PSSpecifier.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

const std::map<std::string, std::string> kRowNames { { "HushlineCalendarsController", "Calendar" },
    { "HushlineEventStatusController", "Event Status" }, { "HushlineWifiController", "WiFi Networks" },
    { "HushlineAlertToneController", "Alert Tone" } };

PlistDictionary groupedCalendars()
{
    PlistDictionary accounts;
    for (const auto& [title, calendars] : HLEventManager::sharedManager().groupedCalendars()) {
        PlistArray list;
        for (const auto& calendar : calendars)
            list.push_back(PlistValue(calendar));
        accounts[title] = PlistValue(std::move(list));
    }
    return accounts;
}

void openPicker(PSListController& rootList, const std::string& className)
{
    auto& profiles = HLProfilesManager::sharedManager().profiles();
    if (profiles.empty())
        throw std::runtime_error("the phone has no profile to open " + className + " for");
    auto row = PSSpecifier::preferenceSpecifierNamed(kRowNames.at(className), nullptr, nullptr, className, PSCellType::Link);
    PlistDictionary info { { "profile", PlistValue(profiles.front()) } };
    if (className == "HushlineCalendarsController")
        info["calendars"] = PlistValue(groupedCalendars());
    row->setUserInfo(PlistValue(std::move(info)));
    auto picker = rootList.controllerForSpecifier(row);
    if (!picker)
        throw std::runtime_error("the settings bundle has no class " + className);
    rootList.pushController(picker, false);
}

}

int main(int argc, char** argv)
{
    SettingsHostOptions options { .port = 0, .webFolder = InstalledFiles::fromHost().webFolder(), .launched = nullptr };
    std::string className;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string argument = argv[i];
        if (argument == "--root")
            setenv("HUSHLINE_DEVICE_ROOT", argv[i + 1], 1);
        else if (argument == "--open")
            className = argv[i + 1];
        else if (argument == "--web")
            options.webFolder = argv[i + 1];
    }
    if (!kRowNames.contains(className)) {
        std::fprintf(stderr, "usage: settings_picker_host --root DIR --open CLASS [--web DIR]\n");
        return 2;
    }
    options.launched = [&className](PSListController& rootList) { openPicker(rootList, className); };
    runHostAndExit("settings_picker_host", [&options] { return runSettingsHost(options); });
}
