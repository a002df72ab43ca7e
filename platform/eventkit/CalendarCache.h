#pragma once

#include "platform/eventkit/ByteCoding.h"
#include "platform/eventkit/ICalendarFileCoding.h"
#include "platform/eventkit/ICalendarLoader.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
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

// A file's entry in the cache: its summary at once, its events when they are decoded.
class CachedCalendarFile {
public:
    CachedCalendarFile(ICalendarFileSummary summary, std::string_view bytes, std::shared_ptr<const void> keeper)
        : m_summary(summary), m_bytes(bytes), m_keeper(std::move(keeper))
    {
    }

    const ICalendarFileSummary& summary() const { return m_summary; }
    // Null when the entry is damaged.
    std::unique_ptr<ICalendarFile> decode() const;

private:
    ICalendarFileSummary m_summary;
    std::string_view m_bytes;
    // What holds the bytes (the cache file's mapping, or an entry's own string).
    std::shared_ptr<const void> m_keeper;
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

    // The cache of a phone's calendars folder, shared by every process that reads it (the home
    // screen, the looks at today): "$XDG_CACHE_HOME/hushline/" (else "~/.cache/hushline/") with
    // a name drawn from the folder, outside the phone; none when neither folder is known.
    static std::optional<std::filesystem::path> userCacheFile(const std::filesystem::path& calendarsFolder);

    const std::filesystem::path& file() const { return m_file; }

    // Local times are read in the zone of the moment: entries read in another zone are dropped.
    void useTimeZone(const std::string& zone);

    // The file as it was read, when the cache holds it with the same stamp.
    std::unique_ptr<ICalendarFile> find(const std::string& key, const CalendarFileStamp&);
    // The same, not yet decoded; it stays usable when the cache is saved or destroyed.
    std::optional<CachedCalendarFile> lookUp(std::string_view key, const CalendarFileStamp&);
    // The file as it was just read.
    void remember(const std::string& key, const CalendarFileStamp&, const ICalendarFile&);

    // Writes the entries of the given keys when anything changed since the cache file was read
    // or written: an entry remembered, or one no longer among the keys. False when it could not
    // be written (the cache is then only slower next time).
    bool save(const std::vector<std::string>& keys);
    // Gives the pages of the cache file read so far back to the system: once a reader has taken
    // the summaries, it needs only the entries a query decodes, whose pages come back from the
    // file when they are touched. A long-lived reader then holds what its queries meet.
    void releaseReadPages();
    // Whether save would write anything, for as many keys, all of them held by the cache.
    bool needsSaving(size_t keyCount) const { return m_changed || keyCount != entryCount(); }

private:
    // The bytes of an entry read from the cache file stay in its mapping (m_loaded); those
    // remembered since are owned by the entry.
    struct Entry {
        CalendarFileStamp stamp;
        std::string_view bytes;
        std::shared_ptr<const std::string> owned;
    };

    void load();
    // The next entry of the cache file not yet taken; nullopt at the end or at damage.
    std::optional<std::pair<std::string_view, Entry>> readPending();
    // Takes every entry into m_entries.
    void index();
    const Entry* entryFor(std::string_view key);
    size_t entryCount() const;

    std::filesystem::path m_file;
    // The cache file as it was read, mapped: a later writer replaces the file, never changes
    // it in place, so the mapping keeps the bytes it was read with.
    struct Mapping {
        void* address { nullptr };
        size_t size { 0 };
        ~Mapping();
        std::string_view bytes() const { return { static_cast<const char*>(address), size }; }
    };
    std::shared_ptr<Mapping> m_loaded;
    std::string m_zone;
    // Keys point into the mapping, or into m_rememberedKeys. Entries of the cache file are
    // taken in order (m_taken) while the index asks for them in that order, and all of them
    // (m_entries) once it does not.
    ByteReader m_pending { {} };
    uint32_t m_pendingCount { 0 };
    std::vector<std::pair<std::string_view, Entry>> m_taken;
    std::unordered_map<std::string_view, Entry> m_entries;
    std::deque<std::string> m_rememberedKeys;
    bool m_changed { false };
};
