#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

// A thread that waits for changes in the calendar folders and calls back, from that thread,
// once for every batch of changes it reads. Stops when destroyed.
class CalendarWatcher {
public:
    CalendarWatcher(std::filesystem::path root, std::function<void()> onChange);
    ~CalendarWatcher();
    CalendarWatcher(const CalendarWatcher&) = delete;
    CalendarWatcher& operator=(const CalendarWatcher&) = delete;

private:
    struct State;
    static void run(std::shared_ptr<State>);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};
