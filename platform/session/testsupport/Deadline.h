#pragma once

#include <chrono>

// A point in time by which a wait gives up: the limit of every wait of the private session, so
// that a daemon that never answers fails the test instead of hanging it.
namespace TestSession {

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    static Deadline in(std::chrono::milliseconds span) { return Deadline(Clock::now() + span); }

    // What is left, for poll(): 0 once passed.
    int remainingMs() const
    {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_at - Clock::now()).count();
        return left < 0 ? 0 : static_cast<int>(left);
    }
    bool hasPassed() const { return Clock::now() >= m_at; }

private:
    explicit Deadline(Clock::time_point at)
        : m_at(at)
    {
    }
    Clock::time_point m_at;
};

// How long the session waits for a daemon to start, to stop, and for a command to end.
inline constexpr std::chrono::milliseconds kStartTimeout { 15000 };
inline constexpr std::chrono::milliseconds kStopTimeout { 5000 };
inline constexpr std::chrono::milliseconds kCommandTimeout { 60000 };
// How much of a daemon's log an error quotes.
inline constexpr size_t kLogTail = 800;

}
