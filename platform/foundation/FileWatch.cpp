#include "platform/foundation/FileWatch.h"

#include <cstring>
#include <sys/epoll.h>
#include <sys/inotify.h>

namespace {

constexpr uint32_t kChanges = IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE;

}

FileWatch::FileWatch(std::filesystem::path file, Handler handler, NSRunLoop& loop)
    : m_name(file.filename().string())
    , m_handler(std::make_shared<Handler>(std::move(handler)))
    , m_inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    if (m_inotify.isValid() && inotify_add_watch(m_inotify.get(), folder.c_str(), kChanges | IN_ONLYDIR) >= 0)
        m_source = RunLoopSource(m_inotify.get(), EPOLLIN, [this](uint32_t) { onReadable(); }, loop);
}

FileWatch::~FileWatch() = default;

void FileWatch::onReadable()
{
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(m_inotify.get(), buffer, sizeof buffer)) > 0) {
        for (char* at = buffer; at < buffer + length;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            // A lost queue may have held a change of the file.
            if ((event->mask & IN_Q_OVERFLOW) || (event->len && m_name == event->name))
                changed = true;
        }
    }
    auto handler = m_handler;
    if (changed && *handler)
        (*handler)();
}
