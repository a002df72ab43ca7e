#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

class PSListController;

// The Settings app of the simulated phone: one process per phone (main bundle
// "com.apple.Preferences", home <root>/var/mobile, the Darwin centre on the phone's bus, the
// main run loop). It loads Hushline's preference bundle from the device root, shows its first
// screen in a navigation controller and serves it as a web page on 127.0.0.1 (HttpServer).
//
// While it runs, "var/run/settings.address" under the root holds the page's address and
// "var/run/settings.pid" its process id. SIGTERM, SIGINT and SIGHUP end it.
struct SettingsHostOptions {
    // 0: the port of the last host when it is free, else a free port.
    uint16_t port { 0 };
    // The folder with page/ and node_modules/.
    std::filesystem::path webFolder;
    // Runs whenever a tab of the page is given the plug-in's first screen (the first time before
    // the page is served): a test host opens a screen of its own choice with it.
    std::function<void(PSListController& rootList)> launched;
};

int runSettingsHost(const SettingsHostOptions&);

namespace SettingsHostFiles {
inline std::filesystem::path addressPath(const std::filesystem::path& root) { return root / "var" / "run" / "settings.address"; }
inline std::filesystem::path pidPath(const std::filesystem::path& root) { return root / "var" / "run" / "settings.pid"; }
// The port the last host served on, kept after it stops: a host started again without a port of
// its own takes the same one when it is free, so that an open page reconnects by itself.
inline std::filesystem::path portPath(const std::filesystem::path& root) { return root / "var" / "run" / "settings.port"; }
}
