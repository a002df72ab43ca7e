#pragma once

#include <string>
#include <vector>

// A shell command of a test, run in the private session's environment until it ends.
namespace TestSession {

struct CommandResult {
    // The exit status; -1 when a signal or the command time-out ended it.
    int status { -1 };
    std::string output;
    std::string errors;
};

// Runs `sh -c command` with the environment ("NAME=value" entries) and collects what it says.
// Throws std::runtime_error only when it cannot be started.
CommandResult runShellCommand(const std::string& command, const std::vector<std::string>& environment);

}
