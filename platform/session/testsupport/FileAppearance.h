#pragma once

#include "platform/session/testsupport/Deadline.h"

#include <filesystem>

// Waits until a file exists (a daemon's socket): inotify on its folder, which must exist.
namespace TestSession {

// False when the deadline passes or `endFd` (the daemon's end) becomes readable first.
bool waitForFile(const std::filesystem::path&, const Deadline&, int endFd);

}
