#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives, every write to a file of this process fails (a full disk, as far as the
// process can tell): the file-size limit is 0 and the signal that limit raises is ignored, so
// write() reports EFBIG. Works for root too, which folder permissions would not stop.
class FailingWrites {
public:
    FailingWrites()
    {
        getrlimit(RLIMIT_FSIZE, &m_limit);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none { 0, m_limit.rlim_max };
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FailingWrites()
    {
        setrlimit(RLIMIT_FSIZE, &m_limit);
        std::signal(SIGXFSZ, m_signal);
    }
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;

private:
    rlimit m_limit {};
    void (*m_signal)(int) { nullptr };
};
