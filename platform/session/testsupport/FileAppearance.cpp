#include "platform/session/testsupport/FileAppearance.h"

#include "platform/machinery/FileDescriptor.h"

#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace TestSession {

bool waitForFile(const std::filesystem::path& path, const Deadline& deadline, int endFd)
{
    FileDescriptor watch(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (!watch.isValid() || inotify_add_watch(watch.get(), path.parent_path().c_str(), IN_CREATE | IN_MOVED_TO) < 0)
        return false;
    // Looked at after the watch is in place, so that a file made in between is not missed.
    std::error_code error;
    while (!std::filesystem::exists(path, error)) {
        pollfd fds[2] = { { watch.get(), POLLIN, 0 }, { endFd, POLLIN, 0 } };
        int n = poll(fds, endFd >= 0 ? 2 : 1, deadline.remainingMs());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || (endFd >= 0 && (fds[1].revents & POLLIN)))
            return std::filesystem::exists(path, error);
        char events[4096];
        while (read(watch.get(), events, sizeof events) > 0) { }
    }
    return true;
}

}
