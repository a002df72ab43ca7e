#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// A value of the owner's session that the phone writes too (feedbackd's level, whether banners
// show, the event-role and sink volumes), with the phone's writes still on their way. The service
// tells of every change, ours and the owner's alike: a value told back that one of our pending
// writes wrote is that write's echo, any other new value is the owner's.
//
// One equality rule, given per value, says both which write a value told back is the echo of and
// whether a told value is a change at all (a sound server reads back 4095 for a written 4096).
// An echo leaves the value exactly as written; a value the rule finds equal leaves it as it was.
//
// Every write is told once whether it landed (`done(true)`) or not (`done(false)`): its echo, a
// later write's echo (it was overtaken), its writer's own word, or the loss of the service. A
// write told false counts as not landed. Writers are told after the value is in place, and may
// start new writes from `done`. Writes still pending when the tracker goes are told nothing.
template<class T>
class RemoteValue {
public:
    using Same = std::function<bool(const T&, const T&)>;
    using Done = std::function<void(bool landed)>;
    // A write on its way; 0 is none.
    using Write = uint64_t;

    explicit RemoteValue(Same same = std::equal_to<T>())
        : m_same(std::move(same))
    {
    }
    RemoteValue(const RemoteValue&) = delete;
    RemoteValue& operator=(const RemoteValue&) = delete;

    // What the service holds, as last read or told; none before the first read.
    const std::optional<T>& value() const { return m_value; }
    // A read of the value (at the start, after the service came back): no change of the owner's.
    void read(std::optional<T> value) { m_value = std::move(value); }

    bool isPresent() const { return m_present; }
    // Whether the service is there to write to. Gone, none of the writes on their way will land.
    void setPresent(bool present)
    {
        m_present = present;
        if (!present)
            forgetWrites();
    }

    // The service told of the value. True when it is the owner's change: neither the echo of a
    // pending write nor equal to the value held. An echo ends its write and the writes before it.
    bool arrived(const T& value)
    {
        auto ours = std::find_if(m_writes.begin(), m_writes.end(), [&](const Pending& write) { return m_same(write.value, value); });
        if (ours != m_writes.end()) {
            m_value = ours->value;
            end(ours + 1, true);
            return false;
        }
        if (m_value && m_same(*m_value, value))
            return false;
        m_value = value;
        return true;
    }

    // Whether the service holds the value once our writes on their way are done.
    bool willHold(const T& value) const
    {
        if (!m_writes.empty())
            return m_same(m_writes.back().value, value);
        return m_value && m_same(*m_value, value);
    }
    bool isPending(Write write) const
    {
        return std::any_of(m_writes.begin(), m_writes.end(), [write](const Pending& pending) { return pending.id == write; });
    }

    // Notes a write of the value as on its way, unless there is nothing to write: the service is
    // absent (`done(false)` at once) or will hold the value anyway (`done(true)` at once). Then 0
    // comes back.
    Write beginWrite(const T& value, Done done)
    {
        if (!m_present || willHold(value)) {
            if (done)
                done(m_present);
            return 0;
        }
        return beginWriteAnyway(value, std::move(done));
    }
    // Notes a write that goes out even when the value will be held: it changes more than the
    // value (a sink's balance). Absent, `done(false)` at once and 0 comes back.
    Write beginWriteAnyway(const T& value, Done done)
    {
        if (!m_present) {
            if (done)
                done(false);
            return 0;
        }
        m_writes.push_back({ ++m_lastWrite, value, std::move(done) });
        return m_lastWrite;
    }

    // The writer's own word on a write still pending: it landed although no echo will tell
    // (`landed`), or it was refused or overtaken.
    void finish(Write write, bool landed)
    {
        auto it = find(write);
        if (it == m_writes.end())
            return;
        Done done = std::move(it->done);
        m_writes.erase(it);
        if (done)
            done(landed);
    }
    void refused(Write write) { finish(write, false); }

    // Every write on its way ends, each writer told `landed`: false when the service restarted or
    // was lost (none will be told back), true when what they wrote to is no longer what the value
    // follows (the writes to a sink that is no longer the default).
    void endWrites(bool landed) { end(m_writes.end(), landed); }
    void forgetWrites() { endWrites(false); }

private:
    struct Pending {
        Write id;
        T value;
        Done done;
    };
    using Writes = std::deque<Pending>;

    typename Writes::iterator find(Write write)
    {
        return std::find_if(m_writes.begin(), m_writes.end(), [write](const Pending& pending) { return pending.id == write; });
    }

    // Ends the writes before `last`, removed before their writers hear of it.
    void end(typename Writes::iterator last, bool landed)
    {
        std::vector<Done> ended;
        for (auto it = m_writes.begin(); it != last; ++it)
            ended.push_back(std::move(it->done));
        m_writes.erase(m_writes.begin(), last);
        for (auto& done : ended)
            if (done)
                done(landed);
    }

    Same m_same;
    std::optional<T> m_value;
    bool m_present { false };
    Writes m_writes;
    Write m_lastWrite { 0 };
};
