#pragma once

#include "platform/eventkit/ICalendarLoader.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// When a calendar file was last seen: it is read again when any of these differ.
struct CalendarFileStamp {
    int64_t mtime { 0 }; // nanoseconds
    uint64_t size { 0 };
    uint64_t inode { 0 };
    bool operator==(const CalendarFileStamp&) const = default;
};

// What the calendar files held when a process last read them, kept in a file of its own, so that
// the next process that reads the same calendars (every `phonectl today` starts a new shadow
// phone) takes each unchanged file as it was read instead of parsing it again.
//
// Entries are keyed by the file's place in the calendars folder ("<account>/<calendar>/<file>")
// and hold its stamp; an entry whose stamp differs from the file's is not used. Everything read
// in another time zone, by another build's format, or from a damaged cache file is left unused:
// the cost is one parse, never a wrong event. The cache file is replaced atomically, so readers
// running at the same time see the old or the new one whole.
class CalendarCache {
public:
    explicit CalendarCache(std::filesystem::path file);

    const std::filesystem::path& file() const { return m_file; }

    // Local times are read in the zone of the moment: entries read in another zone are dropped.
    void useTimeZone(const std::string& zone);

    // The file as it was read, when the cache holds it with the same stamp.
    std::unique_ptr<ICalendarFile> find(const std::string& key, const CalendarFileStamp&);
    // The file as it was just read.
    void remember(const std::string& key, const CalendarFileStamp&, const ICalendarFile&);

    // Writes the entries of the given keys when anything changed since the cache file was read
    // or written: an entry remembered, or one no longer among the keys. False when it could not
    // be written (the cache is then only slower next time).
    bool save(const std::vector<std::string>& keys);

private:
    // The bytes of an entry read from the cache file stay in its mapping (m_loaded); those
    // remembered since are owned by the entry.
    struct Entry {
        CalendarFileStamp stamp;
        std::string_view bytes;
        std::shared_ptr<const std::string> owned;
    };

    void load();
    bool parse(std::string_view bytes);

    std::filesystem::path m_file;
    // The cache file as it was read, mapped: a later writer replaces the file, never changes
    // it in place, so the mapping keeps the bytes it was read with.
    struct Mapping {
        void* address { nullptr };
        size_t size { 0 };
        ~Mapping();
        std::string_view bytes() const { return { static_cast<const char*>(address), size }; }
    };
    std::unique_ptr<Mapping> m_loaded;
    std::string m_zone;
    std::unordered_map<std::string, Entry> m_entries;
    bool m_changed { false };
};
