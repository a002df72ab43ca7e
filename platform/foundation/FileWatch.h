#pragma once

#include "platform/foundation/Inotify.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/RunLoopSource.h"

#include <filesystem>
#include <functional>
#include <memory>

// Tells a run loop when a file changes: written to, created, or replaced by another file moved
// onto its name. The folder is watched (inotify), so a file that does not exist yet, or is
// replaced, is followed by its name. The folder must exist. The handler may destroy the watch.
class FileWatch {
public:
    using Handler = std::function<void()>;

    FileWatch(std::filesystem::path file, Handler, NSRunLoop& = NSRunLoop::main());
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // False when inotify is unavailable or the folder cannot be watched.
    bool isWatching() const { return m_source.isActive(); }

private:
    void onReadable();

    std::string m_name;
    std::shared_ptr<Handler> m_handler;
    Inotify m_inotify;
    RunLoopSource m_source;
};
