#include "platform/session/CatchUpReads.h"

CatchUpReads::CatchUpReads(std::vector<double> schedule, Read read, std::function<void()> finished)
    : m_schedule(std::move(schedule))
    , m_read(std::move(read))
    , m_finished(std::move(finished))
    , m_timer(TimerClock::Monotonic, [this](TimerEvent event) {
        if (event == TimerEvent::Fired)
            fired();
    })
{
}

void CatchUpReads::start()
{
    ++m_generation;
    m_startedAt = RunLoopTimer::now(TimerClock::Monotonic);
    m_next = 0;
    m_running = !m_schedule.empty();
    if (m_running)
        m_timer.armAt(m_startedAt + m_schedule.front());
    else if (m_finished)
        m_finished();
}

void CatchUpReads::stop()
{
    ++m_generation;
    m_running = false;
    m_timer.disarm();
}

void CatchUpReads::fired()
{
    unsigned generation = m_generation;
    ++m_next;
    m_read([this, generation] { answered(generation); });
}

void CatchUpReads::answered(unsigned generation)
{
    if (generation != m_generation)
        return;
    if (m_next < m_schedule.size()) {
        m_timer.armAt(m_startedAt + m_schedule[m_next]);
        return;
    }
    m_running = false;
    if (m_finished)
        m_finished();
}
