#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

// A value of the owner's session that the phone writes too (feedbackd's level, whether banners
// show). The service tells of every change, ours and the owner's alike: a value told back that
// one of our writes still on its way wrote is that write's echo, any other is the owner's.
template<class T>
class EchoedValue {
public:
    // What the service holds, as last read or told; none before the first read.
    const std::optional<T>& value() const { return m_value; }
    // A read of the value (at the start, after the service came back).
    void read(std::optional<T> value) { m_value = std::move(value); }

    // The service told of the value. True when it is the owner's change; our own echo ends its
    // write and every write before it.
    bool arrived(const T& value)
    {
        auto ours = std::find(m_writes.begin(), m_writes.end(), value);
        bool echo = ours != m_writes.end();
        if (echo)
            m_writes.erase(m_writes.begin(), ours + 1);
        bool changed = m_value != value;
        m_value = value;
        return !echo && changed;
    }

    // Whether the service holds the value once our writes on their way are done.
    bool willHold(const T& value) const { return m_writes.empty() ? m_value == value : m_writes.back() == value; }
    // Notes a write of the value as on its way, unless there is nothing to write: no service (the
    // service is not `present`), or the value is what it will hold anyway. Then `done` is told at
    // once whether the service is there, and false comes back.
    bool beginWrite(const T& value, bool present, const std::function<void(bool)>& done)
    {
        if (!present || willHold(value)) {
            if (done)
                done(present);
            return false;
        }
        m_writes.push_back(value);
        return true;
    }
    // The write was refused: it will not be told back.
    void refused(const T& value)
    {
        if (auto it = std::find(m_writes.begin(), m_writes.end(), value); it != m_writes.end())
            m_writes.erase(it);
    }
    // The service restarted: none of our writes will be told back.
    void forgetWrites() { m_writes.clear(); }

private:
    std::optional<T> m_value;
    std::deque<T> m_writes;
};
