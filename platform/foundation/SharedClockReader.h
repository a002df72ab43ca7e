#pragma once

#include "platform/foundation/Clock.h"
#include "platform/machinery/SharedClockFile.h"

#include <filesystem>
#include <memory>

// A reader of a phone's shared virtual clock: every process of a phone booted on a virtual
// clock other than the home-screen host (phonectl, the Settings host, helper processes) sees the
// host's time. It is virtual (nothing waits for real time to pass on it) but cannot be moved
// from here: a reader's own timers run on its next turn after the host has moved the time past
// them.
class SharedClockReader final : public Clock {
public:
    // The root's shared clock; null when the phone has none (it runs on the system clock).
    static std::shared_ptr<SharedClockReader> open(const std::filesystem::path& root);

    NSTimeInterval now() const override { return m_file->read(); }
    bool isVirtual() const override { return true; }

    explicit SharedClockReader(std::unique_ptr<SharedClockFile> file) : m_file(std::move(file)) { }

private:
    std::unique_ptr<SharedClockFile> m_file;
};
