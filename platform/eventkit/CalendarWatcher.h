#pragma once

#include "platform/eventkit/DirectoryWatch.h"
#include "platform/foundation/RunLoopSource.h"

#include <filesystem>
#include <functional>
#include <memory>

// Tells of changes in the calendar folders: the folders' inotify descriptor is a source of the
// main run loop, so the callback runs on the main thread, once for every batch of changes read.
// Nothing runs while nothing changes, also while the calendar folder is missing (its nearest
// existing ancestor is watched for it). Stops when destroyed; the callback may destroy it.
class CalendarWatcher {
public:
    CalendarWatcher(std::filesystem::path root, std::function<void()> onChange);
    CalendarWatcher(const CalendarWatcher&) = delete;
    CalendarWatcher& operator=(const CalendarWatcher&) = delete;

private:
    void readChanges();

    DirectoryWatch m_watch;
    std::function<void()> m_onChange;
    RunLoopSource m_source;
};
