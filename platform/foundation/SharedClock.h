#pragma once

#include "platform/foundation/Clock.h"
#include "platform/machinery/SharedClockFile.h"

#include <filesystem>
#include <memory>

// The owner's side of a phone's shared virtual clock (the home-screen host booted with
// --clock): a virtual clock, moved by the run loop as it fires each timer at its own moment,
// whose every move is written to the device root's clock file for the phone's other processes
// (see SharedClockFile, SharedClockReader).
class SharedClock final : public VirtualClock {
public:
    // Starts the root's clock at `start`, or resumes the time it holds when `start` is null (a
    // restarted host). Throws std::runtime_error when that is not possible.
    static std::shared_ptr<SharedClock> open(const std::filesystem::path& root, const NSTimeInterval* start);

    NSTimeInterval now() const override { return m_file->read(); }
    void set(NSTimeInterval t) override { m_file->write(t); }

    explicit SharedClock(std::unique_ptr<SharedClockFile>);

private:
    std::unique_ptr<SharedClockFile> m_file;
};
