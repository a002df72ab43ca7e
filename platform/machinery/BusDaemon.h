#pragma once

#include "platform/machinery/ChildProcess.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>

// A private dbus-daemon: the phone's bus, or a test session's session and system buses.

struct BusDaemonConfiguration {
    // The Unix socket it listens on.
    std::filesystem::path socket;
    // The bus's <type> ("session", "system"); empty for none.
    std::string type;
    // Whether files it creates keep the owner's umask.
    bool keepUmask { false };
    // A folder of service files for activation; empty for none.
    std::filesystem::path serviceDir;
};

// The configuration file's text: one user's bus on which every process may own any name and
// talk to anyone (the bus is private because its socket is).
std::string busDaemonConfiguration(const BusDaemonConfiguration&);

struct BusDaemon {
    pid_t pid;
    std::string address;
};

// Starts dbus-daemon with the configuration file, its environment and log as `child` says, and
// waits at most `timeout` until it prints its address (which it does once it listens). When it
// does not, the daemon is ended and std::runtime_error says "<who>: dbus-daemon did not start:
// <the end of its log>"; the other failures (no dbus-daemon, no pipe) also begin with who.
BusDaemon startBusDaemon(const std::filesystem::path& config, ChildOptions child, std::chrono::milliseconds timeout, const std::string& who);
