#pragma once

#include "platform/eventkit/CalendarCache.h"
#include "platform/eventkit/DirectoryWatch.h"
#include "platform/eventkit/EKCalendar.h"
#include "platform/eventkit/EKEvent.h"
#include "platform/eventkit/ICalendarLoader.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// The calendar database in memory: the folders "<root>/<account>/<calendar>/*.ics" read into
// calendars and events. Every file is read once and again only when it changed: an inotify
// watch of its own tells the index what changed since it last looked, so bringing it up to date
// costs nothing while nothing changes. Without inotify every folder is looked at on each use.
//
// Not thread-safe: the store serialises its use.
class CalendarIndex {
public:
    // With a cache, files unchanged since the cache last saw them are not parsed again.
    explicit CalendarIndex(std::filesystem::path root, std::unique_ptr<CalendarCache> cache = nullptr);

    const std::filesystem::path& root() const { return m_root; }

    // Takes in what changed on disk since the last call. The cache is written at once, or, when
    // saves are deferred, at the next keepExpansions (which a long-lived store queues after its
    // queries, so that the query itself never waits for the write).
    void refresh();
    void deferCacheSaves() { m_deferCacheSaves = true; }

    // Writes the cache, if there is one, with the occurrences expanded since it was last
    // written, for the next process that reads these calendars; the pages of the cache file read
    // so far are given back (CalendarCache::releaseReadPages).
    void keepExpansions();

    // The calendars, ordered by account folder name and then calendar folder name.
    const std::vector<std::shared_ptr<EKCalendar>>& calendars() const { return m_calendarList; }

    // The occurrences that overlap [from, to] in the named calendars (all when null), as new
    // objects, in the store's order: by start, then by calendar order, then by file name, then
    // by the event's place in its file.
    std::vector<std::shared_ptr<EKEvent>> events(double from, double to, const std::set<std::string>* calendarIdentifiers);

    // The first occurrence of the event with that UID, in the first calendar that has one.
    std::shared_ptr<EKEvent> eventWithUUID(const std::string& uuid);
    // The first occurrence of the event named "<calendar identifier>/<UID>".
    std::shared_ptr<EKEvent> eventWithIdentifier(const std::string& identifier);
    // The occurrence of that event whose original start is the date.
    std::shared_ptr<EKEvent> eventWithIdentifier(const std::string& identifier, double occurrenceDate);

private:
    struct IndexedFile {
        CalendarFileStamp stamp;
        // Null while the file is known only by its entry in the cache: it is decoded when a
        // query meets its span or its UIDs.
        std::unique_ptr<ICalendarFile> content;
        std::optional<CachedCalendarFile> cached;
    };
    // A file not yet decoded, with the span its occurrences fall in.
    struct LazyFile {
        int64_t earliest, latest;
        const std::string* fileName;
        IndexedFile* file;
    };
    // An event of the calendar that happens once (or an occurrence moved out of its series).
    struct Single {
        const ICalendarEvent* event;
        const std::string* fileName;
        std::string uid;
        int64_t occurrence;
        bool detached;
    };
    // A recurring event and the original starts of its occurrences that others replace.
    struct Series {
        const ICalendarEvent* event;
        const std::string* fileName;
        std::string uid;
        std::vector<int64_t> replaced;
    };
    struct IndexedCalendar {
        std::string account;
        std::string name;
        std::filesystem::path folder;
        std::shared_ptr<EKCalendar> calendar;
        std::map<std::string, IndexedFile> files;
        std::vector<Single> singles;
        std::vector<Series> series;
        std::unordered_map<std::string, std::vector<size_t>> singlesByUid, seriesByUid;
        // Files not yet decoded: those whose occurrences all fall within a few weeks, by their
        // earliest start, and the others.
        std::vector<LazyFile> lazyShort, lazyLong;
        size_t order { 0 };
        bool stale { true };
    };
    struct IndexedAccount {
        std::shared_ptr<EKSource> source;
        std::map<std::string, IndexedCalendar> calendars;
    };
    struct Hit {
        int64_t start, end;
        const IndexedCalendar* calendar;
        const std::string* fileName;
        const ICalendarEvent* event;
        const std::string* uid;
        int64_t occurrence;
        bool detached;
    };

    void scanAll();
    void scanAccount(const std::string& account);
    void scanCalendar(IndexedAccount&, const std::string& account, const std::string& name);
    void readAccountTitle(const std::string& account, IndexedAccount&);
    void readCalendarFields(IndexedAccount&, IndexedCalendar&);
    void updateFile(IndexedCalendar&, const std::string& name, bool force);
    // Takes in the file with the stamp it has now (nullopt: gone).
    void takeFile(IndexedCalendar&, const std::string& name, const std::optional<CalendarFileStamp>&, bool force);
    // From its cache entry when one is given and can be decoded, else from the file.
    std::unique_ptr<ICalendarFile> readCalendarFile(const std::filesystem::path&, const std::string& key, const CalendarFileStamp&,
        const CachedCalendarFile*);
    void saveCache(bool withExpansions);
    size_t fileCount() const;
    void applyChanges(const std::vector<DirectoryWatch::Change>&);
    // The account or calendar a change inside it touches, to be updated in place; nullptr when
    // its account is scanned whole this round. An account not known yet is scanned whole now.
    IndexedAccount* accountToUpdate(std::set<std::string>& scannedWhole, const std::string& account);
    IndexedCalendar* calendarToUpdate(std::set<std::string>& scannedWhole, const std::string& account, const std::string& calendar);
    void rebuild();
    void derive(IndexedCalendar&);
    using Overrides = std::unordered_map<std::string, std::vector<int64_t>>;
    void addEvents(IndexedCalendar&, const std::string& fileName, const ICalendarFile&, const Overrides&,
        const std::set<std::string>& withSeries);
    // Decodes the files and adds their events.
    void decode(IndexedCalendar&, const std::vector<LazyFile>&);
    // Decodes one file; false when its cache entry was damaged and the file had to be read.
    bool decodeContent(IndexedCalendar&, const std::string& fileName, IndexedFile&);
    void decodeOverlapping(IndexedCalendar&, double from, double to);
    // Decodes the files that may hold events the overrides replace; false as decodeContent.
    bool decodeFilesHolding(IndexedCalendar&, const Overrides&);
    void decodeHoldingUid(IndexedCalendar&, const std::string& uid);
    void reportBound(const IndexedCalendar&, const Series&);

    IndexedCalendar* calendarNamed(const std::string& identifier);
    void collect(IndexedCalendar&, double from, double to, std::vector<Hit>&);
    std::optional<Hit> firstOccurrence(IndexedCalendar&, const std::string& uid);
    std::shared_ptr<EKEvent> makeEvent(const Hit&) const;

    std::filesystem::path m_root;
    std::unique_ptr<DirectoryWatch> m_watch;
    std::unique_ptr<CalendarCache> m_cache;
    bool m_deferCacheSaves { false };
    std::map<std::string, IndexedAccount> m_accounts;
    std::vector<std::shared_ptr<EKCalendar>> m_calendarList;
    std::string m_timeZone;
    bool m_scanned { false };
    bool m_structureChanged { true };
};
