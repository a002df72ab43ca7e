#pragma once

#include <filesystem>
#include <memory>
#include <string>

class HLProfilesManager;
class NSObject;
class SpringBoard;

// The plug-in's start in its host: the hooks, and inside the home screen the log file, the
// settings file, the launch and midnight hooks, the notification wiring and the message server.
class HLSpringBoardStartup {
public:
    // The load-time constructor, in its order: the hooks every host gets, then (in SpringBoard
    // only) the log, the alarm-timer list, the settings file, the remaining hooks and the
    // Darwin observers.
    static void pluginLoaded();

    // Writes the settings file with the master switch on when there is none; an existing file is
    // left as it is, a failed write ignored.
    static void createSettingsFileIfNeeded();
    // The settings file under the process's home directory.
    static std::filesystem::path settingsFilePath();

    // Appends the process's error stream to "/tmp/velloq.log": opened without following a
    // symbolic link, created readable and writable by its owner only.
    static bool reopenErrorStreamOnLogFile();

    // What the launch hook adds after the system's launch: clean-up, default profile, quiet
    // revert, first pass, message server, and one second later the alarm icon.
    static void didFinishLaunching();
    static void midnightPassed();

    // The four product notifications and the network change.
    static void rescheduleProfilesCallBack();
    static void networkChangedCallBack();

    static void startMessageServer();

    static bool isSpringBoard();

private:
    // Whether the profiles file holds a profile still marked applied.
    static bool hasProfileLeftApplied(HLProfilesManager& store);
    // Gives back the saved pre-profile state when no stored profile is applied any more.
    static void giveBackStateOfProfilesGone();
};
