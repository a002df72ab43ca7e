#include "platform/eventkit/ICalendarFileCoding.h"

#include "platform/eventkit/ByteCoding.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// How an ICalendarTime's zone is written.
enum class ZoneRef : uint8_t { None, Utc, Builtin, File };

struct LibicalString {
    char* text;
    ~LibicalString() { std::free(text); }
};

class FileEncoder {
public:
    explicit FileEncoder(const ICalendarFile& file) : m_file(file) { }

    std::string encode()
    {
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
        if (!m_in.ok() || !m_ok || !m_in.atEnd())
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
