#pragma once

#include "platform/foundation/NSRunLoop.h"

#include <cstdint>

// A file descriptor watched by a run loop for as long as the object lives (NSRunLoop::addSource
// and removeSource). It does not own the descriptor: declare it after the descriptor's owner, so
// that the watch ends before the descriptor is closed. The handler may destroy the source.
//
// The loop refuses a descriptor that it already watches: to watch other events, reset() the old
// source before creating the new one.
class RunLoopSource {
public:
    RunLoopSource() = default;
    RunLoopSource(int fd, uint32_t events, NSRunLoop::SourceHandler, NSRunLoop& = NSRunLoop::main());
    ~RunLoopSource();
    RunLoopSource(RunLoopSource&&) noexcept;
    RunLoopSource& operator=(RunLoopSource&&) noexcept;
    RunLoopSource(const RunLoopSource&) = delete;
    RunLoopSource& operator=(const RunLoopSource&) = delete;

    // False when there is no descriptor or the loop refused it.
    bool isActive() const { return m_id != 0; }
    // Stops watching now.
    void reset();

private:
    NSRunLoop* m_loop { nullptr };
    NSRunLoop::SourceID m_id { 0 };
};
