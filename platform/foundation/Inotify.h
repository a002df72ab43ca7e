#pragma once

#include "platform/machinery/FileDescriptor.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One inotify instance: owns its descriptor (non-blocking, closed on exec), adds and removes
// watches, and reads what is queued. The descriptor is readable while events are queued, so a run
// loop can wait on it; nothing wakes while nothing changes.
class Inotify {
public:
    struct Event {
        int watch;        // the watch descriptor the event belongs to; -1 for a lost queue
        uint32_t mask;    // inotify's event bits (IN_Q_OVERFLOW when events were lost)
        std::string name; // the entry of the watched folder; empty for the folder itself
    };

    Inotify();

    // False when inotify is unavailable: no watch can be added and nothing is ever read.
    bool isValid() const { return m_fd.isValid(); }
    int fileDescriptor() const { return m_fd.get(); }

    // The watch descriptor, or -1 when the path cannot be watched.
    int addWatch(const std::filesystem::path&, uint32_t mask);
    void removeWatch(int watch);

    // The events queued so far, in order, without waiting.
    std::vector<Event> readEvents();

private:
    FileDescriptor m_fd;
};
