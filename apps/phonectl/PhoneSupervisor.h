#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>
#include <sys/types.h>

// Keeping a simulated phone running (phonectl boot / stop). Booting lays Hushline's installed
// files out into the device root (PhonePayload), then starts a supervisor in the background: a phonectl
// process of its own session that starts the phone's bus, starts the home-screen host and starts
// it again whenever it exits (the settings reset kills it on purpose), as launchd would. The bus
// belongs to the supervisor's main thread, which lives as long as the phone. Boot returns once
// the host has finished launching.
//
// The supervisor's output goes to <root>/var/log/phone.log, the host's to
// <root>/var/log/springboard.log.
struct BootOptions {
    std::filesystem::path root;
    // "now" or a local time YYYY-MM-DDTHH:MM:SS: the phone runs on a virtual clock from then on.
    std::optional<std::string> clock;
    // The phone's OS version ("13.3"), written to its SystemVersion.plist.
    std::optional<std::string> osVersion;
    // The phone's hardware is the user's session (the home-screen host links to it). Such a
    // phone holds the session's phone name (SessionPhoneName.h): one per user.
    bool session { false };
    // The `phonectl run` process the phone belongs to: that process holds the session's phone
    // name, and the phone stops when it ends, however it ends. None for a phone of its own.
    std::optional<pid_t> foreground;
    // Folders of vdir calendars, read in place (see CalendarFolders.h for how they become accounts);
    // "none", or nothing for the remembered ones (BootCalendars.h).
    std::vector<std::filesystem::path> calendars;
};

// Throws PhonectlError when the phone is already running, the input is malformed, or the host
// does not finish launching.
void bootPhone(const BootOptions&);
// Stops the supervisor, the host and the bus, and waits until they are gone. Throws
// PhonectlError when the phone is not booted.
void stopPhone(const std::filesystem::path& root);
// The supervisor's process id while the phone runs.
std::optional<pid_t> runningSupervisor(const std::filesystem::path& root);

// The supervisor itself (phonectl's hidden command "__supervise"); returns its exit status.
int supervisePhone(const std::filesystem::path& root, const std::optional<std::string>& clock, bool session, std::optional<pid_t> foreground);

// Process helpers that phonectl's commands share.
// Starts a program in a session of its own (it outlives phonectl), its output appended to a file.
pid_t startDetachedProcess(const std::vector<std::string>& arguments, const std::filesystem::path& output);
bool isProcessAlive(pid_t);
// The process id written in a file (a pid file), if it holds one.
std::optional<pid_t> readProcessFile(const std::filesystem::path& file);
// The last lines of a file, each on a line of its own indented by two blanks.
std::string lastLinesOf(const std::filesystem::path& file, size_t lines);
