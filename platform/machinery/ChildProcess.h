#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Starting and ending the helper daemons that a phone or a test runs (dbus-daemon, PulseAudio,
// a shell command): finding the program, starting it with its streams set up, reading the line
// it says once it is ready, and ending it.

// The path of the program: the name itself when it holds a '/', else the first match on PATH.
// Empty when there is none that may be run.
std::string findProgram(const std::string& name);
// findProgram, or std::runtime_error "<who>: <name> is not installed (Debian package <package>)".
std::string requireProgram(const std::string& name, const std::string& package, const std::string& who);

// The descriptor moved to a number above the standard streams (close-on-exec), so that a child's
// set-up of its own streams cannot overwrite it.
int aboveStandardStreams(int fd);

struct ChildOptions {
    // argv[0] is the program's path.
    std::vector<std::string> argv;
    // None: this process's environment.
    std::optional<std::vector<std::string>> env;
    // Standard output and error are appended to the log; without one they go to /dev/null.
    std::filesystem::path log;
    // A descriptor the child keeps open under its own number (a daemon's ready pipe).
    int inheritedFd { -1 };
    // The child's standard output or error goes here instead of the log (a command's output).
    int stdoutFd { -1 };
    int stderrFd { -1 };
    // Ends (SIGTERM) with the thread that started it, so that a crashed owner leaves nothing behind.
    bool dieWithParent { true };
    // A process group of its own: a terminal's Ctrl-C reaches only the owner, which then ends it.
    bool ownProcessGroup { false };
};

// Starts the child with its standard input on /dev/null and every signal unblocked and at its
// default. Throws std::runtime_error when it cannot fork.
pid_t startChild(const ChildOptions&);

// One line from the descriptor, without its newline, waiting at most until the deadline. Empty
// when the descriptor ends or the deadline passes first.
std::string readLine(int fd, std::chrono::steady_clock::time_point deadline);

// Waits at most timeoutMs (-1: without limit) for a process to end, reaping it when it is our
// child; true when it has ended.
bool waitForProcessEnd(pid_t, int timeoutMs, bool child = true);
// Ends a process: SIGTERM, then SIGKILL when it has not ended within timeoutMs.
void endProcess(pid_t, int timeoutMs, bool child = true);

// The end of a log file, at most maxBytes ("..." before it when cut), without trailing line
// ends and blanks.
std::string tailOfFile(const std::filesystem::path&, size_t maxBytes);
