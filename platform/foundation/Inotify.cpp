#include "platform/foundation/Inotify.h"

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

Inotify::Inotify() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) { }

int Inotify::addWatch(const std::filesystem::path& path, uint32_t mask)
{
    return m_fd.isValid() ? inotify_add_watch(m_fd.get(), path.c_str(), mask) : -1;
}

void Inotify::removeWatch(int watch)
{
    if (m_fd.isValid() && watch >= 0)
        inotify_rm_watch(m_fd.get(), watch);
}

std::vector<Inotify::Event> Inotify::readEvents()
{
    std::vector<Event> events;
    if (!m_fd.isValid())
        return events;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t length = read(m_fd.get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return events;
        for (char* at = buffer; at < buffer + length;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            // The kernel pads the name with NULs to the record's length.
            events.push_back({ event->wd, event->mask, event->len ? std::string(event->name) : std::string() });
        }
    }
}
