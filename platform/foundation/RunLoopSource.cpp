#include "platform/foundation/RunLoopSource.h"

#include <utility>

RunLoopSource::RunLoopSource(int fd, uint32_t events, NSRunLoop::SourceHandler handler, NSRunLoop& loop)
    : m_loop(&loop)
{
    if (fd >= 0)
        m_id = loop.addSource(fd, events, std::move(handler));
}

RunLoopSource::~RunLoopSource()
{
    reset();
}

RunLoopSource::RunLoopSource(RunLoopSource&& other) noexcept
    : m_loop(other.m_loop)
    , m_id(std::exchange(other.m_id, 0))
{
}

RunLoopSource& RunLoopSource::operator=(RunLoopSource&& other) noexcept
{
    if (this != &other) {
        reset();
        m_loop = other.m_loop;
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void RunLoopSource::reset()
{
    if (m_id && m_loop)
        m_loop->removeSource(std::exchange(m_id, 0));
}
