#include "platform/eventkit/ICalendarFileCoding.h"

#include "platform/eventkit/ByteCoding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

// How an ICalendarTime's zone is written.
enum class ZoneRef : uint8_t { None, Utc, Builtin, File };

std::optional<ICalendarFileSummary> readSummary(ByteReader& in)
{
    ICalendarFileSummary summary;
    summary.earliest = in.get<int64_t>();
    summary.latest = in.get<int64_t>();
    summary.readAtOnce = in.get<uint8_t>() != 0;
    summary.uidHashes = in.getText();
    summary.knownFrom = in.get<int64_t>();
    summary.knownTo = in.get<int64_t>();
    summary.longestDuration = in.get<int64_t>();
    summary.knownStarts = in.getText();
    if (!in.ok() || summary.uidHashes.size() % sizeof(uint64_t) != 0 || summary.knownStarts.size() % sizeof(int64_t) != 0
        || summary.longestDuration < 0)
        return std::nullopt;
    return summary;
}

struct LibicalString {
    char* text;
    ~LibicalString() { std::free(text); }
};

class FileEncoder {
public:
    explicit FileEncoder(const ICalendarFile& file) : m_file(file) { }

    std::string encode()
    {
        putSummary();
        const auto& zones = m_file.zones.all();
        m_out.put<uint32_t>(static_cast<uint32_t>(zones.size()));
        for (icaltimezone* zone : zones) {
            LibicalString text { icalcomponent_as_ical_string_r(icaltimezone_get_component(zone)) };
            m_out.put(std::string_view(text.text ? text.text : ""));
        }
        m_out.put<uint64_t>(m_file.skipped);
        m_out.put<uint32_t>(static_cast<uint32_t>(m_file.problems.size()));
        for (const auto& problem : m_file.problems)
            m_out.put(problem);
        m_out.put<uint32_t>(static_cast<uint32_t>(m_file.events.size()));
        for (const auto& event : m_file.events)
            putEvent(event);
        return m_out.take();
    }

private:
    void putSummary()
    {
        int64_t earliest = INT64_MAX;
        int64_t latest = INT64_MIN;
        bool readAtOnce = !m_file.problems.empty() || m_file.skipped > 0;
        std::string hashes;
        for (const auto& event : m_file.events) {
            earliest = std::min(earliest, event.recurrence ? event.recurrence->earliestStart() : event.start);
            auto last = event.recurrence ? event.recurrence->latestStart() : std::optional<int64_t>(event.start);
            int64_t end = !last ? INT64_MAX : event.recurrence ? *last + event.longestDuration() : event.end;
            latest = std::max(latest, end);
            readAtOnce = readAtOnce || event.uid.empty() || event.recurrenceId.has_value();
            uint64_t hash = iCalendarUidHash(event.uid);
            hashes.append(reinterpret_cast<const char*>(&hash), sizeof hash);
        }
        m_out.put<int64_t>(earliest);
        m_out.put<int64_t>(latest);
        m_out.put<uint8_t>(readAtOnce);
        m_out.put(std::string_view(hashes));
        putKnownStarts();
    }

    // What a lazy reader needs to pass over a long series on days it does not occur: a cut
    // (bounded) expansion is left out, so that its warning is told by the reader that meets it.
    void putKnownStarts()
    {
        const ICalendarEvent* only = m_file.events.size() == 1 && m_file.events[0].recurrence ? &m_file.events[0] : nullptr;
        auto expansion = only ? only->recurrence->expansion() : ICalendarRecurrence::Expansion {};
        bool known = only && !expansion.bounded && (expansion.complete || expansion.covered);
        std::string starts;
        if (known)
            starts.assign(reinterpret_cast<const char*>(expansion.starts.data()), expansion.starts.size() * sizeof(int64_t));
        m_out.put<int64_t>(!known ? 0 : expansion.complete ? INT64_MIN : expansion.from);
        m_out.put<int64_t>(!known ? -1 : expansion.complete ? INT64_MAX : expansion.to);
        m_out.put<int64_t>(only ? only->longestDuration() : 0);
        m_out.put(std::string_view(starts));
    }

    void putEvent(const ICalendarEvent& event)
    {
        m_out.put(event.uid);
        m_out.put(event.summary);
        m_out.put<int32_t>(event.status);
        m_out.put<uint8_t>(event.allDay);
        m_out.put<int64_t>(event.start);
        m_out.put<int64_t>(event.end);
        m_out.put<int64_t>(event.duration);
        m_out.put<int32_t>(event.days);
        m_out.put<uint8_t>(event.recurrenceId.has_value());
        m_out.put<int64_t>(event.recurrenceId.value_or(0));
        m_out.put<uint64_t>(event.position);
        m_out.put<uint8_t>(event.recurrence != nullptr);
        if (event.recurrence)
            putRecurrence(*event.recurrence);
    }

    void putRecurrence(const ICalendarRecurrence& recurrence)
    {
        putTime(recurrence.dtstart());
        m_out.put<uint32_t>(static_cast<uint32_t>(recurrence.rules().size()));
        for (auto rule : recurrence.rules()) {
            LibicalString text { icalrecurrencetype_as_string_r(&rule) };
            m_out.put(std::string_view(text.text ? text.text : ""));
        }
        putAll(recurrence.rdates());
        putAll(recurrence.exclusions().instants);
        putAll(recurrence.exclusions().days);
        auto expansion = recurrence.expansion();
        putAll(expansion.starts);
        m_out.put<int64_t>(expansion.from);
        m_out.put<int64_t>(expansion.to);
        m_out.put<uint8_t>(expansion.covered);
        m_out.put<uint8_t>(expansion.complete);
        m_out.put<uint8_t>(expansion.bounded);
        putAll(expansion.exhaustedFrom);
    }

    template<class T>
    void putAll(const std::vector<T>& values)
    {
        m_out.put<uint32_t>(static_cast<uint32_t>(values.size()));
        for (T value : values)
            m_out.put<T>(value);
    }

    void putTime(const ICalendarTime& time)
    {
        const icaltimetype& f = time.fields;
        m_out.put<uint8_t>(static_cast<uint8_t>(time.kind));
        for (int value : { f.year, f.month, f.day, f.hour, f.minute, f.second, f.is_date, f.is_daylight })
            m_out.put<int32_t>(value);
        putZone(time.zone);
    }

    void putZone(icaltimezone* zone)
    {
        if (!zone) {
            m_out.put<uint8_t>(static_cast<uint8_t>(ZoneRef::None));
        } else if (zone == icaltimezone_get_utc_timezone()) {
            m_out.put<uint8_t>(static_cast<uint8_t>(ZoneRef::Utc));
        } else if (auto it = std::find(m_file.zones.all().begin(), m_file.zones.all().end(), zone); it != m_file.zones.all().end()) {
            m_out.put<uint8_t>(static_cast<uint8_t>(ZoneRef::File));
            m_out.put<uint32_t>(static_cast<uint32_t>(it - m_file.zones.all().begin()));
        } else {
            const char* location = icaltimezone_get_location(zone);
            m_out.put<uint8_t>(static_cast<uint8_t>(ZoneRef::Builtin));
            m_out.put(std::string_view(location ? location : ""));
        }
    }

    const ICalendarFile& m_file;
    ByteWriter m_out;
};

class FileDecoder {
public:
    explicit FileDecoder(std::string_view bytes) : m_in(bytes) { }

    std::unique_ptr<ICalendarFile> decode()
    {
        auto file = std::make_unique<ICalendarFile>();
        m_file = file.get();
        auto summary = readSummary(m_in);
        if (!summary)
            return nullptr;
        for (uint32_t n = m_in.getCount(4); n > 0 && m_in.ok(); --n)
            if (!addZone(m_in.getText()))
                return nullptr;
        file->skipped = m_in.get<uint64_t>();
        for (uint32_t n = m_in.getCount(4); n > 0 && m_in.ok(); --n)
            file->problems.emplace_back(m_in.getText());
        uint32_t events = m_in.getCount(40);
        file->events.reserve(events);
        for (uint32_t n = 0; n < events && m_in.ok() && m_ok; ++n)
            file->events.push_back(getEvent());
        if (!m_in.ok() || !m_ok || !m_in.atEnd() || summary->uidHashes.size() != events * sizeof(uint64_t))
            return nullptr;
        return file;
    }

private:
    bool addZone(std::string_view text)
    {
        icalcomponent* component = icalparser_parse_string(std::string(text).c_str());
        icaltimezone* zone = component ? m_file->zones.add(component) : nullptr;
        if (component)
            icalcomponent_free(component);
        return zone != nullptr;
    }

    ICalendarEvent getEvent()
    {
        ICalendarEvent event;
        event.uid = m_in.getText();
        event.summary = m_in.getText();
        event.status = m_in.get<int32_t>();
        event.allDay = m_in.get<uint8_t>() != 0;
        event.start = m_in.get<int64_t>();
        event.end = m_in.get<int64_t>();
        event.duration = m_in.get<int64_t>();
        event.days = m_in.get<int32_t>();
        bool hasRecurrenceId = m_in.get<uint8_t>() != 0;
        int64_t recurrenceId = m_in.get<int64_t>();
        if (hasRecurrenceId)
            event.recurrenceId = recurrenceId;
        event.position = m_in.get<uint64_t>();
        if (m_in.get<uint8_t>() != 0)
            event.recurrence = getRecurrence();
        return event;
    }

    std::unique_ptr<ICalendarRecurrence> getRecurrence()
    {
        ICalendarTime dtstart = getTime();
        std::vector<icalrecurrencetype> rules;
        for (uint32_t n = m_in.getCount(4); n > 0 && m_in.ok(); --n) {
            icalrecurrencetype rule = icalrecurrencetype_from_string(std::string(m_in.getText()).c_str());
            if (rule.freq == ICAL_NO_RECURRENCE)
                m_ok = false;
            rules.push_back(rule);
        }
        auto rdates = getAll<int64_t>();
        ICalendarRecurrence::Exclusions exclusions { getAll<int64_t>(), getAll<int32_t>() };
        ICalendarRecurrence::Expansion expansion;
        expansion.starts = getAll<int64_t>();
        expansion.from = m_in.get<int64_t>();
        expansion.to = m_in.get<int64_t>();
        expansion.covered = m_in.get<uint8_t>() != 0;
        expansion.complete = m_in.get<uint8_t>() != 0;
        expansion.bounded = m_in.get<uint8_t>() != 0;
        expansion.exhaustedFrom = getAll<int64_t>();
        if (!m_in.ok() || !m_ok)
            return nullptr;
        auto recurrence = std::make_unique<ICalendarRecurrence>(dtstart, std::move(rules), std::move(rdates), std::move(exclusions));
        if (!recurrence->takeUpExpansion(std::move(expansion)))
            m_ok = false;
        return recurrence;
    }

    template<class T>
    std::vector<T> getAll()
    {
        std::vector<T> values(m_in.getCount(sizeof(T)));
        for (T& value : values)
            value = m_in.get<T>();
        return values;
    }

    ICalendarTime getTime()
    {
        ICalendarTime time;
        auto kind = m_in.get<uint8_t>();
        if (kind > static_cast<uint8_t>(ICalendarTimeKind::Date))
            m_ok = false;
        time.kind = static_cast<ICalendarTimeKind>(kind);
        icaltimetype& f = time.fields;
        for (int* value : { &f.year, &f.month, &f.day, &f.hour, &f.minute, &f.second, &f.is_date, &f.is_daylight })
            *value = m_in.get<int32_t>();
        time.zone = getZone();
        if (time.kind == ICalendarTimeKind::Zoned && !time.zone)
            m_ok = false;
        f.zone = time.kind == ICalendarTimeKind::Utc ? icaltimezone_get_utc_timezone()
            : time.kind == ICalendarTimeKind::Zoned  ? time.zone
                                                     : nullptr;
        return time;
    }

    icaltimezone* getZone()
    {
        switch (static_cast<ZoneRef>(m_in.get<uint8_t>())) {
        case ZoneRef::None:
            return nullptr;
        case ZoneRef::Utc:
            return icaltimezone_get_utc_timezone();
        case ZoneRef::File: {
            auto index = m_in.get<uint32_t>();
            if (index < m_file->zones.all().size())
                return m_file->zones.all()[index];
            break;
        }
        case ZoneRef::Builtin:
            if (icaltimezone* zone = builtin(std::string(m_in.getText())))
                return zone;
            break;
        }
        m_ok = false;
        return nullptr;
    }

    icaltimezone* builtin(const std::string& location)
    {
        auto known = m_builtins.find(location);
        if (known != m_builtins.end())
            return known->second;
        icaltimezone* zone = location.empty() ? nullptr : icaltimezone_get_builtin_timezone(location.c_str());
        m_builtins.emplace(location, zone);
        return zone;
    }

    ByteReader m_in;
    ICalendarFile* m_file { nullptr };
    std::map<std::string, icaltimezone*> m_builtins;
    bool m_ok { true };
};

} // namespace

std::string encodeICalendarFile(const ICalendarFile& file)
{
    auto lock = icalendarLock();
    return FileEncoder(file).encode();
}

std::unique_ptr<ICalendarFile> decodeICalendarFile(std::string_view bytes)
{
    auto lock = icalendarLock();
    return FileDecoder(bytes).decode();
}

bool ICalendarFileSummary::mayHoldUid(uint64_t hash) const
{
    for (size_t at = 0; at + sizeof hash <= uidHashes.size(); at += sizeof hash)
        if (std::memcmp(uidHashes.data() + at, &hash, sizeof hash) == 0)
            return true;
    return false;
}

bool ICalendarFileSummary::mayOccurIn(double from, double to) const
{
    if (!(static_cast<double>(earliest) < to && static_cast<double>(latest) >= from))
        return false;
    if (knownTo < knownFrom)
        return true;
    // As the index asks a series: starts from the longest occurrence before the range on.
    double first = std::floor(from) - static_cast<double>(longestDuration);
    double last = std::ceil(to);
    if (first < static_cast<double>(knownFrom) || last > static_cast<double>(knownTo))
        return true;
    size_t count = knownStarts.size() / sizeof(int64_t);
    auto startAt = [&](size_t index) {
        int64_t start;
        std::memcpy(&start, knownStarts.data() + index * sizeof start, sizeof start);
        return start;
    };
    size_t low = 0, high = count;
    while (low < high) {
        size_t middle = (low + high) / 2;
        if (static_cast<double>(startAt(middle)) < first)
            low = middle + 1;
        else
            high = middle;
    }
    return low < count && static_cast<double>(startAt(low)) <= last;
}

bool ICalendarFileSummary::mayHoldAnyUid(const std::vector<uint64_t>& sortedHashes) const
{
    for (size_t at = 0; at + sizeof(uint64_t) <= uidHashes.size(); at += sizeof(uint64_t)) {
        uint64_t hash;
        std::memcpy(&hash, uidHashes.data() + at, sizeof hash);
        if (std::binary_search(sortedHashes.begin(), sortedHashes.end(), hash))
            return true;
    }
    return false;
}

// FNV-1a: the same UID gives the same hash in every build that reads the cache.
uint64_t iCalendarUidHash(std::string_view uid)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : uid)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::optional<ICalendarFileSummary> summaryOfEncodedICalendarFile(std::string_view bytes)
{
    ByteReader in(bytes);
    return readSummary(in);
}
