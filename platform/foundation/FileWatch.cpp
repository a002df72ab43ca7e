#include "platform/foundation/FileWatch.h"

#include <sys/epoll.h>
#include <sys/inotify.h>

namespace {

constexpr uint32_t kChanges = IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE;

}

FileWatch::FileWatch(std::filesystem::path file, Handler handler, NSRunLoop& loop)
    : m_name(file.filename().string())
    , m_handler(std::make_shared<Handler>(std::move(handler)))
{
    std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    if (m_inotify.addWatch(folder, kChanges | IN_ONLYDIR) >= 0)
        m_source = RunLoopSource(m_inotify.fileDescriptor(), EPOLLIN, [this](uint32_t) { onReadable(); }, loop);
}

FileWatch::~FileWatch() = default;

void FileWatch::onReadable()
{
    bool changed = false;
    for (const auto& event : m_inotify.readEvents()) {
        // A lost queue may have held a change of the file.
        if ((event.mask & IN_Q_OVERFLOW) || (!event.name.empty() && event.name == m_name))
            changed = true;
    }
    auto handler = m_handler;
    if (changed && *handler)
        (*handler)();
}
