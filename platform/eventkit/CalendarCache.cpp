#include "platform/eventkit/CalendarCache.h"

#include "platform/eventkit/ByteCoding.h"
#include "platform/eventkit/ICalendarFileCoding.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/FileDescriptor.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unordered_set>

namespace {

// Changes whenever the layout of the cache file or of an encoded calendar file changes.
constexpr std::string_view kMagic = "Hushline calendar cache 3\n";

}

namespace {

// FNV-1a: a name that stays the same from one run (and build) to the next.
uint64_t stableHash(const std::string& text)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

}

std::optional<std::filesystem::path> CalendarCache::userCacheFile(const std::filesystem::path& calendarsFolder)
{
    std::filesystem::path folder;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        folder = cache;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        folder = std::filesystem::path(home) / ".cache";
    else
        return std::nullopt;
    std::error_code error;
    auto calendars = std::filesystem::weakly_canonical(calendarsFolder, error);
    char name[64];
    std::snprintf(name, sizeof name, "calendars-%016llx.cache", static_cast<unsigned long long>(stableHash(calendars.string())));
    return folder / "hushline" / name;
}

CalendarCache::CalendarCache(std::filesystem::path file) : m_file(std::move(file))
{
    load();
}

CalendarCache::Mapping::~Mapping()
{
    if (address)
        munmap(address, size);
}

void CalendarCache::releaseReadPages()
{
    // The file is never changed in place (a writer replaces it), so the pages read again are the
    // ones given back.
    if (m_loaded && m_loaded->address)
        madvise(m_loaded->address, m_loaded->size, MADV_DONTNEED);
}

void CalendarCache::load()
{
    FileDescriptor file(::open(m_file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info { };
    if (!file.isValid() || fstat(file.get(), &info) != 0 || info.st_size <= 0)
        return;
    void* address = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, file.get(), 0);
    if (address == MAP_FAILED)
        return;
    m_loaded = std::make_shared<Mapping>();
    m_loaded->address = address;
    m_loaded->size = static_cast<size_t>(info.st_size);
    std::string_view bytes = m_loaded->bytes();
    if (bytes.substr(0, kMagic.size()) != kMagic)
        return;
    ByteReader in(bytes.substr(kMagic.size()));
    m_zone = in.getText();
    m_pendingCount = in.getCount(32);
    if (!in.ok()) {
        m_zone.clear();
        m_pendingCount = 0;
        return;
    }
    m_pending = in;
    m_taken.reserve(m_pendingCount);
}

std::optional<std::pair<std::string_view, CalendarCache::Entry>> CalendarCache::readPending()
{
    if (m_pendingCount == 0)
        return std::nullopt;
    ByteReader in = m_pending;
    std::string_view key = in.getText();
    Entry entry;
    entry.stamp.mtime = in.get<int64_t>();
    entry.stamp.size = in.get<uint64_t>();
    entry.stamp.inode = in.get<uint64_t>();
    entry.bytes = in.getText();
    // A cut or damaged file keeps the entries before the damage; each is checked again when
    // it is used.
    if (!in.ok()) {
        m_pendingCount = 0;
        return std::nullopt;
    }
    m_pending = in;
    --m_pendingCount;
    return std::pair { key, entry };
}

void CalendarCache::index()
{
    for (auto& [key, entry] : m_taken)
        m_entries.insert_or_assign(key, std::move(entry));
    m_taken.clear();
    m_entries.reserve(m_entries.size() + m_pendingCount);
    while (auto pending = readPending())
        m_entries.insert_or_assign(pending->first, std::move(pending->second));
}

const CalendarCache::Entry* CalendarCache::entryFor(std::string_view key)
{
    // The index asks for its files in the order they were saved in: while it does, the entries
    // are taken one after the other and no table is built.
    if (m_entries.empty() && m_pendingCount > 0) {
        ByteReader before = m_pending;
        uint32_t countBefore = m_pendingCount;
        if (auto next = readPending(); next && next->first == key) {
            m_taken.push_back(std::move(*next));
            return &m_taken.back().second;
        }
        m_pending = before;
        m_pendingCount = countBefore;
    }
    index();
    auto entry = m_entries.find(key);
    return entry == m_entries.end() ? nullptr : &entry->second;
}

size_t CalendarCache::entryCount() const
{
    return m_entries.size() + m_taken.size() + m_pendingCount;
}

void CalendarCache::useTimeZone(const std::string& zone)
{
    if (zone == m_zone)
        return;
    m_zone = zone;
    if (entryCount() > 0)
        m_changed = true;
    m_entries.clear();
    m_taken.clear();
    m_pendingCount = 0;
}

std::unique_ptr<ICalendarFile> CalendarCache::find(const std::string& key, const CalendarFileStamp& stamp)
{
    const Entry* entry = entryFor(key);
    if (!entry || !(entry->stamp == stamp))
        return nullptr;
    return decodeICalendarFile(entry->bytes);
}

std::optional<CachedCalendarFile> CalendarCache::lookUp(std::string_view key, const CalendarFileStamp& stamp)
{
    const Entry* entry = entryFor(key);
    if (!entry || !(entry->stamp == stamp))
        return std::nullopt;
    auto summary = summaryOfEncodedICalendarFile(entry->bytes);
    if (!summary)
        return std::nullopt;
    std::shared_ptr<const void> keeper = entry->owned;
    if (!keeper)
        keeper = m_loaded;
    return CachedCalendarFile(*summary, entry->bytes, std::move(keeper));
}

std::unique_ptr<ICalendarFile> CachedCalendarFile::decode() const
{
    return decodeICalendarFile(m_bytes);
}

void CalendarCache::remember(const std::string& key, const CalendarFileStamp& stamp, const ICalendarFile& file)
{
    index();
    auto owned = std::make_shared<const std::string>(encodeICalendarFile(file));
    auto entry = m_entries.find(key);
    if (entry == m_entries.end())
        entry = m_entries.emplace(m_rememberedKeys.emplace_back(key), Entry {}).first;
    entry->second = Entry { stamp, *owned, owned };
    m_changed = true;
}

bool CalendarCache::save(const std::vector<std::string>& keys)
{
    if (!needsSaving(keys.size()))
        return true;
    index();
    ByteWriter out;
    out.putRaw(kMagic);
    out.put(std::string_view(m_zone));
    std::vector<const std::string*> kept;
    std::unordered_set<std::string_view> keptKeys;
    for (const auto& key : keys)
        if (m_entries.count(key) && keptKeys.insert(key).second)
            kept.push_back(&key);
    out.put<uint32_t>(static_cast<uint32_t>(kept.size()));
    for (const std::string* key : kept) {
        const Entry& entry = m_entries.at(*key);
        out.put(std::string_view(*key));
        out.put<int64_t>(entry.stamp.mtime);
        out.put<uint64_t>(entry.stamp.size);
        out.put<uint64_t>(entry.stamp.inode);
        out.put(entry.bytes);
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_file.parent_path(), ignored);
    if (!writeFileAtomically(m_file, out.bytes()))
        return false;
    std::erase_if(m_entries, [&](const auto& entry) { return !keptKeys.count(entry.first); });
    m_changed = false;
    return true;
}
