#include "platform/eventkit/CalendarWatcher.h"

#include "platform/eventkit/DirectoryWatch.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

struct CalendarWatcher::State {
    State(std::filesystem::path root, std::function<void()> callback)
        : watch(std::move(root)), onChange(std::move(callback)), stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) { }
    ~State()
    {
        if (stopFd >= 0)
            close(stopFd);
    }

    DirectoryWatch watch;
    std::function<void()> onChange;
    int stopFd;
};

CalendarWatcher::CalendarWatcher(std::filesystem::path root, std::function<void()> onChange)
    : m_state(std::make_shared<State>(std::move(root), std::move(onChange)))
{
    m_thread = std::thread(run, m_state);
}

CalendarWatcher::~CalendarWatcher()
{
    uint64_t one = 1;
    if (m_state->stopFd >= 0 && write(m_state->stopFd, &one, sizeof one) < 0) { }
    // The last owner of the store may let go of it inside the callback, on the thread itself.
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else if (m_thread.joinable())
        m_thread.join();
}

void CalendarWatcher::run(std::shared_ptr<State> state)
{
    std::vector<DirectoryWatch::Change> changes;
    if (!state->watch.isAvailable()) {
        // Without inotify nothing can be told: wait to be stopped.
        pollfd stop { state->stopFd, POLLIN, 0 };
        while (poll(&stop, 1, -1) < 0 && errno == EINTR) { }
        return;
    }
    for (;;) {
        pollfd fds[2] = { { state->stopFd, POLLIN, 0 }, { state->watch.fileDescriptor(), POLLIN, 0 } };
        // While the calendar root is missing there is nothing to wait on: look for it again now
        // and then.
        int timeout = state->watch.isWatchingRoot() ? -1 : 1000;
        int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents)
            return;
        if (ready < 0 || (ready == 0 && state->watch.isWatchingRoot()))
            continue;
        changes.clear();
        bool complete = state->watch.readChanges(changes);
        if (!changes.empty() || !complete)
            state->onChange();
    }
}
