#include "platform/eventkit/CalendarWatcher.h"

#include <sys/epoll.h>
#include <vector>

CalendarWatcher::CalendarWatcher(std::filesystem::path root, std::function<void()> onChange)
    : m_watch(std::move(root))
    , m_onChange(std::move(onChange))
{
    // Without inotify nothing can be told; the store looks at every folder on each use instead.
    if (m_watch.isAvailable())
        m_source = RunLoopSource(m_watch.fileDescriptor(), EPOLLIN, [this](uint32_t) { readChanges(); });
}

void CalendarWatcher::readChanges()
{
    std::vector<DirectoryWatch::Change> changes;
    bool complete = m_watch.readChanges(changes);
    if (changes.empty() && complete)
        return;
    // The callback may let go of the watcher: nothing of it is used after the call.
    auto onChange = m_onChange;
    onChange();
}
