#include "platform/eventkit/CalendarIndex.h"

#include "platform/eventkit/CalendarFileStamps.h"

#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/FileDescriptor.h"
#include "platform/foundation/NSLog.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

// Larger files are taken for damage rather than calendars.
constexpr uintmax_t kMaxFileSize = 64ull << 20;

bool isHidden(std::string_view name)
{
    return name.empty() || name.front() == '.';
}

bool isCalendarFile(std::string_view name)
{
    return !isHidden(name) && name.size() > 4 && name.compare(name.size() - 4, 4, ".ics") == 0;
}

// The folders (or calendar files) of an open folder. A calendar's folder holds thousands of
// files: they are listed without a look at each.
std::vector<std::string> entries(int folderFd, bool directories)
{
    std::vector<std::string> names;
    int listed = folderFd >= 0 ? ::dup(folderFd) : -1;
    DIR* folder = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!folder) {
        if (listed >= 0)
            ::close(listed);
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        std::string_view name = entry->d_name;
        if (directories ? isHidden(name) : !isCalendarFile(name))
            continue;
        if (directories) {
            struct stat info { };
            bool isDirectory = entry->d_type == DT_DIR
                || ((entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) && ::fstatat(folderFd, entry->d_name, &info, 0) == 0
                    && S_ISDIR(info.st_mode));
            if (!isDirectory)
                continue;
        }
        names.emplace_back(name);
    }
    ::closedir(folder);
    // In name order: the order the calendars are kept in, and their files in the cache.
    std::sort(names.begin(), names.end());
    return names;
}

FileDescriptor openFolder(const std::filesystem::path& folder)
{
    return FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

std::vector<std::string> entries(const std::filesystem::path& folder, bool directories)
{
    return entries(openFolder(folder).get(), directories);
}

// The first line of a small text file, trimmed; nullopt when it is missing or blank.
std::optional<std::string> firstLine(const std::filesystem::path& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::string line;
    std::getline(in, line);
    line.resize(std::min<size_t>(line.size(), 256));
    auto first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

// "#RRGGBB" (an alpha part "#RRGGBBAA" is dropped); nullopt for anything else.
std::optional<std::string> colorValue(const std::optional<std::string>& text)
{
    if (!text || (text->size() != 7 && text->size() != 9) || (*text)[0] != '#')
        return std::nullopt;
    if (!std::all_of(text->begin() + 1, text->end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return text->substr(0, 7);
}

bool isWritableFolder(const std::filesystem::path& folder)
{
    struct stat info { };
    if (stat(folder.c_str(), &info) != 0)
        return false;
    return (info.st_mode & 0222) != 0 && access(folder.c_str(), W_OK) == 0;
}

std::string currentTimeZone()
{
    const char* zone = std::getenv("TZ");
    return zone ? zone : "";
}

// The zone local times are read in: TZ, or the system's zone when TZ is not set.
std::string zoneIdentity(const std::string& tz)
{
    if (!tz.empty())
        return tz;
    std::error_code error;
    auto system = std::filesystem::canonical("/etc/localtime", error);
    return "system:" + (error ? std::string("UTC") : system.string());
}

bool overlaps(int64_t start, int64_t end, double from, double to)
{
    double s = static_cast<double>(start);
    double e = static_cast<double>(end);
    return s < to && (e > from || (e == s && s >= from));
}

std::string effectiveUid(const ICalendarEvent& event, const std::string& fileName)
{
    return event.uid.empty() ? fileName + "#" + std::to_string(event.position) : event.uid;
}

// Files whose occurrences all fall within this many seconds are found by their earliest start.
constexpr uint64_t kShortSpan = 31 * 86400;

// Dates far beyond any calendar's (about 3,000 years either side of 1970) find nothing.
bool isSaneInstant(double seconds)
{
    return std::isfinite(seconds) && std::fabs(seconds) < 1e11;
}

void warn(const std::filesystem::path& path, const std::string& text)
{
    NSLog("EKEventStore: Warning: %s: %s", path.c_str(), text.c_str());
}

// Whether a recurrence of the file was expanded since this was last asked.
bool wasExpanded(const ICalendarFile& content)
{
    bool expanded = false;
    for (const auto& event : content.events)
        if (event.recurrence && event.recurrence->takeExpandedSinceLastAsked())
            expanded = true;
    return expanded;
}

// What was skipped in a file and why, in one line.
std::string problemsText(const ICalendarFile& content)
{
    std::string text;
    for (const auto& problem : content.problems)
        text += (text.empty() ? "" : "; ") + problem;
    if (content.skipped)
        text += "; " + std::to_string(content.skipped) + " of " + std::to_string(content.skipped + content.events.size())
            + " events left out";
    return text;
}

using CalendarKey = std::pair<std::string, std::string>;

// Where a batch of changes happened, each place once: accounts to scan whole, calendars whose
// folder came or went, calendars whose own fields changed, and the files changed per calendar.
struct ChangedPlaces {
    std::set<std::string> accounts;
    std::set<CalendarKey> calendars, fields;
    std::map<CalendarKey, std::set<std::string>> files;
};

ChangedPlaces placesOf(const std::vector<DirectoryWatch::Change>& changes)
{
    ChangedPlaces places;
    for (const auto& change : changes) {
        switch (change.depth) {
        case DirectoryWatch::Root:
            if (!change.name.empty())
                places.accounts.insert(change.name);
            break;
        case DirectoryWatch::Account:
            if (change.name == "displayname")
                places.accounts.insert(change.folder.filename().string());
            else if (!change.name.empty())
                places.calendars.insert({ change.folder.filename().string(), change.name });
            break;
        case DirectoryWatch::Calendar: {
            CalendarKey key { change.folder.parent_path().filename().string(), change.folder.filename().string() };
            if (change.name.empty() || change.name == "displayname" || change.name == "color")
                places.fields.insert(key);
            // A file being created is read when it is closed.
            else if (isCalendarFile(change.name) && !(change.mask == IN_CREATE))
                places.files[key].insert(change.name);
            break;
        }
        }
    }
    return places;
}

} // namespace

CalendarIndex::CalendarIndex(std::filesystem::path root, std::unique_ptr<CalendarCache> cache)
    : m_root(std::move(root))
    , m_cache(std::move(cache))
{
    std::error_code ignored;
    std::filesystem::create_directories(m_root, ignored);
    m_watch = std::make_unique<DirectoryWatch>(m_root);
}

void CalendarIndex::refresh()
{
    std::string zone = currentTimeZone();
    std::vector<DirectoryWatch::Change> changes;
    if (!m_scanned || zone != m_timeZone) {
        // Local times (floating times, dates) are read in the zone of the moment: in another
        // zone every file is read again.
        if (m_scanned)
            m_accounts.clear();
        m_timeZone = zone;
        tzset();
        if (m_cache)
            m_cache->useTimeZone(zoneIdentity(zone));
        // What was queued is covered by the full scan that follows.
        m_watch->readChanges(changes);
        scanAll();
        m_scanned = true;
    } else if (!m_watch->isAvailable() || !m_watch->readChanges(changes) || !m_watch->isWatchingRoot()) {
        // Unwatched folders (no inotify, a root that cannot be watched) are looked at each time.
        scanAll();
    } else if (!changes.empty()) {
        applyChanges(changes);
    } else {
        return;
    }
    rebuild();
    if (m_cache && !m_deferCacheSaves) {
        saveCache(false);
        m_cache->releaseReadPages();
    }
}

void CalendarIndex::keepExpansions()
{
    if (!m_cache)
        return;
    saveCache(true);
    // What the queries decoded is held as events now, not as the cache's bytes.
    m_cache->releaseReadPages();
}

void CalendarIndex::scanAll()
{
    auto accounts = entries(m_root, true);
    std::set<std::string> present(accounts.begin(), accounts.end());
    std::erase_if(m_accounts, [&](const auto& entry) { return !present.count(entry.first); });
    for (const auto& account : accounts)
        scanAccount(account);
    m_structureChanged = true;
}

void CalendarIndex::scanAccount(const std::string& name)
{
    std::filesystem::path folder = m_root / name;
    std::error_code error;
    if (isHidden(name) || !std::filesystem::is_directory(folder, error)) {
        m_accounts.erase(name);
        m_structureChanged = true;
        return;
    }
    auto& account = m_accounts[name];
    readAccountTitle(name, account);
    auto calendars = entries(folder, true);
    std::set<std::string> present(calendars.begin(), calendars.end());
    std::erase_if(account.calendars, [&](const auto& entry) { return !present.count(entry.first); });
    for (const auto& calendar : calendars)
        scanCalendar(account, name, calendar);
    m_structureChanged = true;
}

void CalendarIndex::readAccountTitle(const std::string& name, IndexedAccount& account)
{
    std::string title = firstLine(m_root / name / "displayname").value_or(name);
    if (account.source && account.source->title() == title)
        return;
    account.source = std::make_shared<EKSource>(name, title);
    for (auto& [calendarName, calendar] : account.calendars)
        readCalendarFields(account, calendar);
}

void CalendarIndex::scanCalendar(IndexedAccount& account, const std::string& accountName, const std::string& name)
{
    auto& calendar = account.calendars[name];
    calendar.account = accountName;
    calendar.name = name;
    calendar.folder = m_root / accountName / name;
    readCalendarFields(account, calendar);
    FileDescriptor folder = openFolder(calendar.folder);
    auto files = entries(folder.get(), false);
    size_t before = calendar.files.size();
    std::erase_if(calendar.files, [&](const auto& entry) { return !std::binary_search(files.begin(), files.end(), entry.first); });
    if (calendar.files.size() != before)
        calendar.stale = true;
    auto stamps = calendarFileStamps(folder.get(), calendar.folder, files);
    for (size_t index = 0; index < files.size(); ++index)
        takeFile(calendar, files[index], stamps[index], false);
}

void CalendarIndex::readCalendarFields(IndexedAccount& account, IndexedCalendar& calendar)
{
    EKCalendar::Fields fields;
    fields.calendarIdentifier = calendar.account + "/" + calendar.name;
    fields.title = firstLine(calendar.folder / "displayname").value_or(calendar.name);
    fields.color = colorValue(firstLine(calendar.folder / "color"));
    fields.allowsContentModifications = isWritableFolder(calendar.folder);
    fields.source = account.source;
    const auto& current = calendar.calendar;
    if (current && current->title() == fields.title && current->color() == fields.color
        && current->allowsContentModifications() == fields.allowsContentModifications && current->source() == fields.source)
        return;
    calendar.calendar = std::make_shared<EKCalendar>(std::move(fields));
    calendar.stale = true;
    m_structureChanged = true;
}

void CalendarIndex::updateFile(IndexedCalendar& calendar, const std::string& name, bool force)
{
    takeFile(calendar, name, isCalendarFile(name) ? calendarFileStamp(-1, calendar.folder, name) : std::nullopt, force);
}

void CalendarIndex::takeFile(IndexedCalendar& calendar, const std::string& name, const std::optional<CalendarFileStamp>& found, bool force)
{
    if (!found) {
        if (calendar.files.erase(name))
            calendar.stale = true;
        return;
    }
    const CalendarFileStamp& stamp = *found;
    // One look-up serves both the check and the insertion (a scan takes in thousands of files).
    auto place = calendar.files.lower_bound(name);
    bool known = place != calendar.files.end() && place->first == name;
    if (!force && known && place->second.stamp == stamp)
        return;
    std::string key = calendar.account + "/" + calendar.name + "/" + name;
    calendar.stale = true;
    IndexedFile taken { stamp, nullptr, m_cache ? m_cache->lookUp(key, stamp) : std::nullopt };
    if (!taken.cached || taken.cached->summary().readAtOnce) {
        taken.content = readCalendarFile(calendar.folder / name, key, stamp, taken.cached ? &*taken.cached : nullptr);
        if (!taken.content)
            taken.content = std::make_unique<ICalendarFile>();
        taken.cached.reset();
    }
    if (known)
        place->second = std::move(taken);
    else
        calendar.files.emplace_hint(place, name, std::move(taken));
}

std::unique_ptr<ICalendarFile> CalendarIndex::readCalendarFile(const std::filesystem::path& path, const std::string& key,
    const CalendarFileStamp& stamp, const CachedCalendarFile* cached)
{
    std::unique_ptr<ICalendarFile> content = cached ? cached->decode() : nullptr;
    if (!content) {
        std::string bytes, error;
        if (stamp.size > kMaxFileSize) {
            warn(path, "larger than 64 MB, left out");
            return nullptr;
        }
        if (!readFile(path, bytes, &error)) {
            warn(path, "cannot be read (" + error + "), left out");
            return nullptr;
        }
        content = loadICalendar(bytes);
        if (m_cache)
            m_cache->remember(key, stamp, *content);
    }
    if (!content->problems.empty())
        warn(path, problemsText(*content));
    return content;
}

void CalendarIndex::saveCache(bool withExpansions)
{
    auto keyOf = [](const std::string& account, const std::string& calendar, const std::string& file) {
        return account + "/" + calendar + "/" + file;
    };
    if (withExpansions)
        for (const auto& [accountName, account] : m_accounts)
            for (const auto& [calendarName, calendar] : account.calendars)
                for (const auto& [fileName, file] : calendar.files)
                    if (file.content && wasExpanded(*file.content))
                        m_cache->remember(keyOf(accountName, calendarName, fileName), file.stamp, *file.content);
    if (!m_cache->needsSaving(fileCount()))
        return;
    std::vector<std::string> keys;
    for (const auto& [accountName, account] : m_accounts)
        for (const auto& [calendarName, calendar] : account.calendars)
            for (const auto& [fileName, file] : calendar.files)
                keys.push_back(keyOf(accountName, calendarName, fileName));
    if (!m_cache->save(keys))
        NSLog("EKEventStore: Warning: %s: the calendar cache cannot be written", m_cache->file().c_str());
}

size_t CalendarIndex::fileCount() const
{
    size_t count = 0;
    for (const auto& [accountName, account] : m_accounts)
        for (const auto& [calendarName, calendar] : account.calendars)
            count += calendar.files.size();
    return count;
}

CalendarIndex::IndexedAccount* CalendarIndex::accountToUpdate(std::set<std::string>& scannedWhole, const std::string& account)
{
    if (scannedWhole.count(account))
        return nullptr;
    auto found = m_accounts.find(account);
    if (found == m_accounts.end()) {
        scannedWhole.insert(account);
        scanAccount(account);
        return nullptr;
    }
    return &found->second;
}

CalendarIndex::IndexedCalendar* CalendarIndex::calendarToUpdate(std::set<std::string>& scannedWhole, const std::string& account,
    const std::string& calendar)
{
    IndexedAccount* indexed = accountToUpdate(scannedWhole, account);
    if (!indexed)
        return nullptr;
    auto found = indexed->calendars.find(calendar);
    return found == indexed->calendars.end() ? nullptr : &found->second;
}

// Each place is looked at once, at the widest level that changed: an account scanned whole
// covers its calendars, a calendar scanned again covers its fields and files.
void CalendarIndex::applyChanges(const std::vector<DirectoryWatch::Change>& changes)
{
    ChangedPlaces changed = placesOf(changes);
    for (const auto& account : changed.accounts)
        scanAccount(account);
    for (const auto& [accountName, name] : changed.calendars) {
        IndexedAccount* account = accountToUpdate(changed.accounts, accountName);
        if (!account)
            continue;
        std::error_code error;
        if (!isHidden(name) && std::filesystem::is_directory(m_root / accountName / name, error))
            scanCalendar(*account, accountName, name);
        else if (account->calendars.erase(name))
            m_structureChanged = true;
    }
    for (const auto& key : changed.fields)
        if (!changed.calendars.count(key))
            if (IndexedCalendar* calendar = calendarToUpdate(changed.accounts, key.first, key.second))
                readCalendarFields(m_accounts[key.first], *calendar);
    for (const auto& [key, names] : changed.files) {
        if (changed.calendars.count(key))
            continue;
        if (IndexedCalendar* calendar = calendarToUpdate(changed.accounts, key.first, key.second))
            for (const auto& name : names)
                updateFile(*calendar, name, true);
    }
}

void CalendarIndex::rebuild()
{
    for (auto& [accountName, account] : m_accounts)
        for (auto& [name, calendar] : account.calendars)
            if (calendar.stale)
                derive(calendar);
    if (!m_structureChanged)
        return;
    m_calendarList.clear();
    for (auto& [accountName, account] : m_accounts) {
        for (auto& [name, calendar] : account.calendars) {
            calendar.order = m_calendarList.size();
            m_calendarList.push_back(calendar.calendar);
        }
    }
    m_structureChanged = false;
}

void CalendarIndex::derive(IndexedCalendar& calendar)
{
    calendar.singles.clear();
    calendar.series.clear();
    calendar.singlesByUid.clear();
    calendar.seriesByUid.clear();
    calendar.lazyShort.clear();
    calendar.lazyLong.clear();
    // Occurrences moved or changed apart from their series replace the series' own. Files that
    // replace occurrences are decoded when read; those holding the events they replace are
    // decoded now.
    Overrides replaced;
    for (const auto& [fileName, file] : calendar.files)
        if (file.content)
            for (const auto& event : file.content->events)
                if (event.recurrenceId)
                    replaced[effectiveUid(event, fileName)].push_back(*event.recurrenceId);
    for (auto& [uid, starts] : replaced)
        std::sort(starts.begin(), starts.end());
    // A file read afresh (its cache entry was damaged) may replace occurrences of its own.
    if (!decodeFilesHolding(calendar, replaced))
        return derive(calendar);
    std::set<std::string> withSeries;
    for (const auto& [fileName, file] : calendar.files)
        if (file.content)
            for (const auto& event : file.content->events)
                if (!event.recurrenceId)
                    withSeries.insert(effectiveUid(event, fileName));

    for (auto& [fileName, file] : calendar.files) {
        if (file.content) {
            addEvents(calendar, fileName, *file.content, replaced, withSeries);
            continue;
        }
        const auto& summary = file.cached->summary();
        LazyFile lazy { summary.earliest, summary.latest, &fileName, &file };
        bool isShort = summary.latest >= summary.earliest
            && static_cast<uint64_t>(summary.latest) - static_cast<uint64_t>(summary.earliest) <= kShortSpan;
        (isShort ? calendar.lazyShort : calendar.lazyLong).push_back(lazy);
    }
    std::sort(calendar.lazyShort.begin(), calendar.lazyShort.end(), [](const LazyFile& a, const LazyFile& b) { return a.earliest < b.earliest; });
    calendar.stale = false;
}

bool CalendarIndex::decodeFilesHolding(IndexedCalendar& calendar, const Overrides& replaced)
{
    std::vector<uint64_t> hashes;
    for (const auto& [uid, starts] : replaced)
        hashes.push_back(iCalendarUidHash(uid));
    if (hashes.empty())
        return true;
    std::sort(hashes.begin(), hashes.end());
    bool asSummarised = true;
    for (auto& [fileName, file] : calendar.files)
        if (!file.content && file.cached->summary().mayHoldAnyUid(hashes))
            asSummarised = decodeContent(calendar, fileName, file) && asSummarised;
    return asSummarised;
}

void CalendarIndex::addEvents(IndexedCalendar& calendar, const std::string& fileName, const ICalendarFile& content,
    const Overrides& replaced, const std::set<std::string>& withSeries)
{
    for (const auto& event : content.events) {
        std::string uid = effectiveUid(event, fileName);
        auto replacedHere = replaced.find(uid);
        if (event.recurrenceId) {
            calendar.singlesByUid[uid].push_back(calendar.singles.size());
            calendar.singles.push_back({ &event, &fileName, uid, *event.recurrenceId, withSeries.count(uid) > 0 });
        } else if (event.recurrence) {
            calendar.seriesByUid[uid].push_back(calendar.series.size());
            calendar.series.push_back({ &event, &fileName, uid,
                replacedHere == replaced.end() ? std::vector<int64_t> {} : replacedHere->second });
        } else if (replacedHere == replaced.end()
            || !std::binary_search(replacedHere->second.begin(), replacedHere->second.end(), event.start)) {
            calendar.singlesByUid[uid].push_back(calendar.singles.size());
            calendar.singles.push_back({ &event, &fileName, uid, event.start, false });
        }
    }
}

bool CalendarIndex::decodeContent(IndexedCalendar& calendar, const std::string& fileName, IndexedFile& file)
{
    file.content = file.cached->decode();
    bool decoded = file.content != nullptr;
    if (!decoded) {
        file.content = readCalendarFile(calendar.folder / fileName, calendar.account + "/" + calendar.name + "/" + fileName, file.stamp, nullptr);
        if (!file.content)
            file.content = std::make_unique<ICalendarFile>();
    }
    file.cached.reset();
    return decoded;
}

void CalendarIndex::decode(IndexedCalendar& calendar, const std::vector<LazyFile>& files)
{
    if (files.empty())
        return;
    bool asSummarised = true;
    for (const auto& lazy : files)
        asSummarised = decodeContent(calendar, *lazy.fileName, *lazy.file) && asSummarised;
    // A file read afresh may now replace occurrences of others: the calendar is derived again.
    if (!asSummarised) {
        derive(calendar);
        return;
    }
    for (const auto& lazy : files)
        addEvents(calendar, *lazy.fileName, *lazy.file->content, {}, {});
    std::erase_if(calendar.lazyLong, [](const LazyFile& lazy) { return lazy.file->content != nullptr; });
}

void CalendarIndex::decodeOverlapping(IndexedCalendar& calendar, double from, double to)
{
    std::vector<LazyFile> needed;
    auto meets = [&](const LazyFile& lazy) { return !lazy.file->content && lazy.file->cached->summary().mayOccurIn(from, to); };
    int64_t lowest = static_cast<int64_t>(std::floor(from)) - static_cast<int64_t>(kShortSpan);
    auto first = std::lower_bound(calendar.lazyShort.begin(), calendar.lazyShort.end(), lowest,
        [](const LazyFile& lazy, int64_t value) { return lazy.earliest < value; });
    for (auto it = first; it != calendar.lazyShort.end() && static_cast<double>(it->earliest) < to; ++it)
        if (meets(*it))
            needed.push_back(*it);
    for (const auto& lazy : calendar.lazyLong)
        if (meets(lazy))
            needed.push_back(lazy);
    decode(calendar, needed);
}

void CalendarIndex::decodeHoldingUid(IndexedCalendar& calendar, const std::string& uid)
{
    uint64_t hash = iCalendarUidHash(uid);
    std::vector<LazyFile> needed;
    for (const auto* list : { &calendar.lazyShort, &calendar.lazyLong })
        for (const auto& lazy : *list)
            if (!lazy.file->content && lazy.file->cached->summary().mayHoldUid(hash))
                needed.push_back(lazy);
    decode(calendar, needed);
}

void CalendarIndex::reportBound(const IndexedCalendar& calendar, const Series& series)
{
    warn(calendar.folder / *series.fileName,
        "the recurrence of \"" + series.uid + "\" was cut at " + std::to_string(ICalendarRecurrence::kMaxOccurrences)
            + " occurrences or " + std::to_string(ICalendarRecurrence::kMaxSteps) + " steps");
}

void CalendarIndex::collect(IndexedCalendar& calendar, double from, double to, std::vector<Hit>& hits)
{
    decodeOverlapping(calendar, from, to);
    for (const auto& single : calendar.singles)
        if (overlaps(single.event->start, single.event->end, from, to))
            hits.push_back({ single.event->start, single.event->end, &calendar, single.fileName, single.event, &single.uid,
                single.occurrence, single.detached });
    int64_t last = static_cast<int64_t>(std::ceil(to));
    for (const auto& series : calendar.series) {
        const ICalendarEvent& event = *series.event;
        if (event.recurrence->earliestStart() > last)
            continue;
        int64_t first = static_cast<int64_t>(std::floor(from)) - event.longestDuration();
        auto starts = event.recurrence->startsBetween(first, last);
        if (event.recurrence->takeBoundReport())
            reportBound(calendar, series);
        for (int64_t start : starts) {
            if (std::binary_search(series.replaced.begin(), series.replaced.end(), start))
                continue;
            int64_t end = event.endFor(start);
            if (overlaps(start, end, from, to))
                hits.push_back({ start, end, &calendar, series.fileName, &event, &series.uid, start, false });
        }
    }
}

std::vector<std::shared_ptr<EKEvent>> CalendarIndex::events(double from, double to, const std::set<std::string>* identifiers)
{
    if (!isSaneInstant(from) || !isSaneInstant(to) || to < from)
        return {};
    std::vector<Hit> hits;
    for (auto& [accountName, account] : m_accounts)
        for (auto& [name, calendar] : account.calendars)
            if (!identifiers || identifiers->count(calendar.calendar->calendarIdentifier()))
                collect(calendar, from, to, hits);
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        return std::tie(a.start, a.calendar->order, *a.fileName, a.event->position, a.occurrence)
            < std::tie(b.start, b.calendar->order, *b.fileName, b.event->position, b.occurrence);
    });
    std::vector<std::shared_ptr<EKEvent>> result;
    result.reserve(hits.size());
    for (const auto& hit : hits)
        result.push_back(makeEvent(hit));
    return result;
}

std::shared_ptr<EKEvent> CalendarIndex::makeEvent(const Hit& hit) const
{
    EKEvent::Fields fields;
    fields.title = hit.event->summary;
    fields.startDate = NSDate(static_cast<double>(hit.start));
    fields.endDate = NSDate(static_cast<double>(hit.end));
    fields.allDay = hit.event->allDay;
    fields.status = static_cast<EKEventStatus>(hit.event->status);
    fields.UUID = *hit.uid;
    fields.eventIdentifier = hit.calendar->account + "/" + hit.calendar->name + "/" + *hit.uid;
    fields.occurrenceDate = NSDate(static_cast<double>(hit.occurrence));
    fields.detached = hit.detached;
    fields.calendar = hit.calendar->calendar;
    return std::make_shared<EKEvent>(std::move(fields));
}

CalendarIndex::IndexedCalendar* CalendarIndex::calendarNamed(const std::string& identifier)
{
    size_t slash = identifier.find('/');
    if (slash == std::string::npos)
        return nullptr;
    auto account = m_accounts.find(identifier.substr(0, slash));
    if (account == m_accounts.end())
        return nullptr;
    auto calendar = account->second.calendars.find(identifier.substr(slash + 1));
    return calendar == account->second.calendars.end() ? nullptr : &calendar->second;
}

std::optional<CalendarIndex::Hit> CalendarIndex::firstOccurrence(IndexedCalendar& calendar, const std::string& uid)
{
    decodeHoldingUid(calendar, uid);
    // The earliest; of those at the same start an occurrence of its own before one of a series,
    // and then the one first in its file and in file order.
    std::optional<Hit> best;
    bool bestOfSeries = false;
    auto consider = [&](const Hit& hit, bool ofSeries) {
        if (!best || hit.start < best->start
            || (hit.start == best->start && ofSeries == bestOfSeries
                && std::tie(*hit.fileName, hit.event->position) < std::tie(*best->fileName, best->event->position))) {
            best = hit;
            bestOfSeries = ofSeries;
        }
    };
    if (auto singles = calendar.singlesByUid.find(uid); singles != calendar.singlesByUid.end())
        for (size_t index : singles->second) {
            const Single& single = calendar.singles[index];
            consider({ single.event->start, single.event->end, &calendar, single.fileName, single.event, &single.uid,
                         single.occurrence, single.detached },
                false);
        }
    if (auto series = calendar.seriesByUid.find(uid); series != calendar.seriesByUid.end())
        for (size_t index : series->second) {
            const Series& entry = calendar.series[index];
            auto first = entry.event->recurrence->firstStart();
            if (!first)
                continue;
            for (int64_t start : entry.event->recurrence->startsBetween(*first, *first + 400 * 86400)) {
                if (std::binary_search(entry.replaced.begin(), entry.replaced.end(), start))
                    continue;
                consider({ start, entry.event->endFor(start), &calendar, entry.fileName, entry.event, &entry.uid, start, false }, true);
                break;
            }
        }
    return best;
}

std::shared_ptr<EKEvent> CalendarIndex::eventWithUUID(const std::string& uuid)
{
    for (auto& [accountName, account] : m_accounts)
        for (auto& [name, calendar] : account.calendars)
            if (auto hit = firstOccurrence(calendar, uuid))
                return makeEvent(*hit);
    return nullptr;
}

std::shared_ptr<EKEvent> CalendarIndex::eventWithIdentifier(const std::string& identifier)
{
    size_t second = identifier.find('/', identifier.find('/') + 1);
    if (identifier.find('/') == std::string::npos || second == std::string::npos)
        return nullptr;
    IndexedCalendar* calendar = calendarNamed(identifier.substr(0, second));
    if (!calendar)
        return nullptr;
    auto hit = firstOccurrence(*calendar, identifier.substr(second + 1));
    return hit ? makeEvent(*hit) : nullptr;
}

std::shared_ptr<EKEvent> CalendarIndex::eventWithIdentifier(const std::string& identifier, double occurrenceDate)
{
    size_t second = identifier.find('/', identifier.find('/') + 1);
    if (identifier.find('/') == std::string::npos || second == std::string::npos || !isSaneInstant(occurrenceDate))
        return nullptr;
    IndexedCalendar* calendar = calendarNamed(identifier.substr(0, second));
    if (!calendar)
        return nullptr;
    std::string uid = identifier.substr(second + 1);
    int64_t date = std::llround(occurrenceDate);
    decodeHoldingUid(*calendar, uid);
    // Of several (the same UID in two files), the first in file order, as a full read finds it.
    auto before = [](const auto* a, const auto& b) {
        return !a || std::tie(*b.fileName, b.event->position) < std::tie(*a->fileName, a->event->position);
    };
    const Single* single = nullptr;
    if (auto singles = calendar->singlesByUid.find(uid); singles != calendar->singlesByUid.end())
        for (size_t index : singles->second)
            if (calendar->singles[index].occurrence == date && before(single, calendar->singles[index]))
                single = &calendar->singles[index];
    if (single)
        return makeEvent({ single->event->start, single->event->end, calendar, single->fileName, single->event, &single->uid,
            single->occurrence, single->detached });
    const Series* found = nullptr;
    if (auto series = calendar->seriesByUid.find(uid); series != calendar->seriesByUid.end())
        for (size_t index : series->second) {
            const Series& entry = calendar->series[index];
            auto starts = entry.event->recurrence->startsBetween(date, date);
            if (!starts.empty() && !std::binary_search(entry.replaced.begin(), entry.replaced.end(), date) && before(found, entry))
                found = &entry;
        }
    if (found)
        return makeEvent({ date, found->event->endFor(date), calendar, found->fileName, found->event, &found->uid, date, false });
    return nullptr;
}
