#include "platform/eventkit/CalendarIndex.h"

#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/FileDescriptor.h"
#include "platform/foundation/NSLog.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

// Larger files are taken for damage rather than calendars.
constexpr uintmax_t kMaxFileSize = 64ull << 20;

bool isHidden(const std::string& name)
{
    return name.empty() || name.front() == '.';
}

bool isCalendarFile(const std::string& name)
{
    return !isHidden(name) && name.size() > 4 && name.compare(name.size() - 4, 4, ".ics") == 0;
}

std::vector<std::string> entries(const std::filesystem::path& folder, bool directories)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        std::error_code ignored;
        bool isDirectory = entry.is_directory(ignored);
        if (isDirectory == directories && (directories ? !isHidden(name) : isCalendarFile(name)))
            names.push_back(std::move(name));
    }
    return names;
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
    if (m_cache)
        saveCache(false);
}

void CalendarIndex::keepExpansions()
{
    if (m_cache)
        saveCache(true);
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
    auto files = entries(calendar.folder, false);
    std::set<std::string> present(files.begin(), files.end());
    size_t before = calendar.files.size();
    std::erase_if(calendar.files, [&](const auto& entry) { return !present.count(entry.first); });
    if (calendar.files.size() != before)
        calendar.stale = true;
    FileDescriptor folder(::open(calendar.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const auto& file : files)
        updateFile(calendar, file, false, folder.get());
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

void CalendarIndex::updateFile(IndexedCalendar& calendar, const std::string& name, bool force, int folderFd)
{
    std::filesystem::path path = calendar.folder / name;
    struct stat info { };
    int found = folderFd >= 0 ? ::fstatat(folderFd, name.c_str(), &info, 0) : ::stat(path.c_str(), &info);
    if (!isCalendarFile(name) || found != 0 || !S_ISREG(info.st_mode)) {
        if (calendar.files.erase(name))
            calendar.stale = true;
        return;
    }
    CalendarFileStamp stamp { static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
        static_cast<uint64_t>(info.st_size), static_cast<uint64_t>(info.st_ino) };
    auto known = calendar.files.find(name);
    if (!force && known != calendar.files.end() && known->second.stamp == stamp)
        return;
    auto content = readCalendarFile(path, calendar.account + "/" + calendar.name + "/" + name, stamp);
    if (!content)
        content = std::make_unique<ICalendarFile>();
    calendar.files[name] = { stamp, std::move(content) };
    calendar.stale = true;
}

std::unique_ptr<ICalendarFile> CalendarIndex::readCalendarFile(const std::filesystem::path& path, const std::string& key,
    const CalendarFileStamp& stamp)
{
    std::unique_ptr<ICalendarFile> content = m_cache ? m_cache->find(key, stamp) : nullptr;
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
    std::vector<std::string> keys;
    for (const auto& [accountName, account] : m_accounts) {
        for (const auto& [calendarName, calendar] : account.calendars) {
            for (const auto& [fileName, file] : calendar.files) {
                keys.push_back(accountName + "/" + calendarName + "/" + fileName);
                if (withExpansions && wasExpanded(*file.content))
                    m_cache->remember(keys.back(), file.stamp, *file.content);
            }
        }
    }
    if (!m_cache->save(keys))
        NSLog("EKEventStore: Warning: %s: the calendar cache cannot be written", m_cache->file().c_str());
}

void CalendarIndex::applyChanges(const std::vector<DirectoryWatch::Change>& changes)
{
    using Key = std::pair<std::string, std::string>;
    std::set<std::string> accounts;
    std::set<Key> calendars, fields;
    std::map<Key, std::set<std::string>> files;
    for (const auto& change : changes) {
        switch (change.depth) {
        case DirectoryWatch::Root:
            if (!change.name.empty())
                accounts.insert(change.name);
            break;
        case DirectoryWatch::Account:
            if (change.name == "displayname")
                accounts.insert(change.folder.filename().string());
            else if (!change.name.empty())
                calendars.insert({ change.folder.filename().string(), change.name });
            break;
        case DirectoryWatch::Calendar: {
            Key key { change.folder.parent_path().filename().string(), change.folder.filename().string() };
            if (change.name.empty() || change.name == "displayname" || change.name == "color")
                fields.insert(key);
            // A file being created is read when it is closed.
            else if (isCalendarFile(change.name) && !(change.mask == IN_CREATE))
                files[key].insert(change.name);
            break;
        }
        }
    }
    for (const auto& account : accounts)
        scanAccount(account);
    auto known = [&](const Key& key) -> IndexedCalendar* {
        if (accounts.count(key.first))
            return nullptr;
        auto account = m_accounts.find(key.first);
        if (account == m_accounts.end()) {
            accounts.insert(key.first);
            scanAccount(key.first);
            return nullptr;
        }
        auto calendar = account->second.calendars.find(key.second);
        return calendar == account->second.calendars.end() ? nullptr : &calendar->second;
    };
    for (const auto& key : calendars) {
        if (accounts.count(key.first))
            continue;
        auto account = m_accounts.find(key.first);
        if (account == m_accounts.end()) {
            accounts.insert(key.first);
            scanAccount(key.first);
            continue;
        }
        std::error_code error;
        if (!isHidden(key.second) && std::filesystem::is_directory(m_root / key.first / key.second, error))
            scanCalendar(account->second, key.first, key.second);
        else if (account->second.calendars.erase(key.second))
            m_structureChanged = true;
    }
    for (const auto& key : fields)
        if (!calendars.count(key))
            if (IndexedCalendar* calendar = known(key))
                readCalendarFields(m_accounts[key.first], *calendar);
    for (const auto& [key, names] : files) {
        if (calendars.count(key))
            continue;
        if (IndexedCalendar* calendar = known(key))
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
    // Occurrences moved or changed apart from their series replace the series' own.
    std::unordered_map<std::string, std::vector<int64_t>> replaced;
    for (const auto& [fileName, file] : calendar.files)
        for (const auto& event : file.content->events)
            if (event.recurrenceId)
                replaced[effectiveUid(event, fileName)].push_back(*event.recurrenceId);
    for (auto& [uid, starts] : replaced)
        std::sort(starts.begin(), starts.end());
    std::set<std::string> withSeries;
    for (const auto& [fileName, file] : calendar.files)
        for (const auto& event : file.content->events)
            if (!event.recurrenceId)
                withSeries.insert(effectiveUid(event, fileName));

    for (const auto& [fileName, file] : calendar.files) {
        for (const auto& event : file.content->events) {
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
    calendar.stale = false;
}

void CalendarIndex::reportBound(const IndexedCalendar& calendar, const Series& series)
{
    warn(calendar.folder / *series.fileName,
        "the recurrence of \"" + series.uid + "\" was cut at " + std::to_string(ICalendarRecurrence::kMaxOccurrences)
            + " occurrences or " + std::to_string(ICalendarRecurrence::kMaxSteps) + " steps");
}

void CalendarIndex::collect(IndexedCalendar& calendar, double from, double to, std::vector<Hit>& hits)
{
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
    std::optional<Hit> best;
    auto consider = [&](const Hit& hit) {
        if (!best || hit.start < best->start)
            best = hit;
    };
    if (auto singles = calendar.singlesByUid.find(uid); singles != calendar.singlesByUid.end())
        for (size_t index : singles->second) {
            const Single& single = calendar.singles[index];
            consider({ single.event->start, single.event->end, &calendar, single.fileName, single.event, &single.uid,
                single.occurrence, single.detached });
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
                consider({ start, entry.event->endFor(start), &calendar, entry.fileName, entry.event, &entry.uid, start, false });
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
    if (auto singles = calendar->singlesByUid.find(uid); singles != calendar->singlesByUid.end())
        for (size_t index : singles->second) {
            const Single& single = calendar->singles[index];
            if (single.occurrence == date)
                return makeEvent({ single.event->start, single.event->end, calendar, single.fileName, single.event,
                    &single.uid, single.occurrence, single.detached });
        }
    if (auto series = calendar->seriesByUid.find(uid); series != calendar->seriesByUid.end())
        for (size_t index : series->second) {
            const Series& entry = calendar->series[index];
            auto starts = entry.event->recurrence->startsBetween(date, date);
            if (!starts.empty() && !std::binary_search(entry.replaced.begin(), entry.replaced.end(), date))
                return makeEvent({ date, entry.event->endFor(date), calendar, entry.fileName, entry.event, &entry.uid, date, false });
        }
    return nullptr;
}
