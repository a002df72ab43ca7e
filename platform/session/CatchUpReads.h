#pragma once

#include "platform/foundation/RunLoopTimer.h"

#include <cstddef>
#include <functional>
#include <vector>

// Reads of a value repeated over a short while after the server told or confirmed a change of
// it. PipeWire's pulse server answers a read from its own copy of the stream volumes, which takes
// the change in only when PipeWire passes it on; on a busy machine that can be after the write's
// confirmation, or after pw-metadata has told of it. Each reading is started once the one before
// has been answered, at the times after the start that `schedule` gives (in seconds, rising); a
// new start begins the schedule again. `finished` runs once the last reading has been answered.
// Real time (the monotonic clock): the lag is the server's, whatever the phone's clock says.
class CatchUpReads {
public:
    using Answered = std::function<void()>;
    using Read = std::function<void(Answered)>;

    CatchUpReads(std::vector<double> schedule, Read, std::function<void()> finished);
    CatchUpReads(const CatchUpReads&) = delete;
    CatchUpReads& operator=(const CatchUpReads&) = delete;

    void start();
    // Ends the schedule without `finished` (the server went away).
    void stop();
    bool isRunning() const { return m_running; }

private:
    void fired();
    void answered(unsigned generation);

    const std::vector<double> m_schedule;
    Read m_read;
    std::function<void()> m_finished;
    RunLoopTimer m_timer;
    double m_startedAt { 0 };
    size_t m_next { 0 };
    bool m_running { false };
    // A reading answered after a new start belongs to the old schedule.
    unsigned m_generation { 0 };
};
