#include "platform/eventkit/CalendarCache.h"

#include "platform/eventkit/ByteCoding.h"
#include "platform/eventkit/ICalendarFileCoding.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/machinery/FileDescriptor.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unordered_set>

namespace {

// Changes whenever the layout of the cache file or of an encoded calendar file changes.
constexpr std::string_view kMagic = "Hushline calendar cache 2\n";

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

void CalendarCache::load()
{
    FileDescriptor file(::open(m_file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info { };
    if (!file.isValid() || fstat(file.get(), &info) != 0 || info.st_size <= 0)
        return;
    void* address = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, file.get(), 0);
    if (address == MAP_FAILED)
        return;
    m_loaded = std::make_unique<Mapping>();
    m_loaded->address = address;
    m_loaded->size = static_cast<size_t>(info.st_size);
    if (!parse(m_loaded->bytes())) {
        m_entries.clear();
        m_zone.clear();
    }
}

bool CalendarCache::parse(std::string_view bytes)
{
    if (bytes.substr(0, kMagic.size()) != kMagic)
        return false;
    ByteReader in(bytes.substr(kMagic.size()));
    m_zone = in.getText();
    uint32_t count = in.getCount(32);
    m_entries.reserve(count);
    for (uint32_t n = 0; n < count && in.ok(); ++n) {
        std::string key(in.getText());
        Entry entry;
        entry.stamp.mtime = in.get<int64_t>();
        entry.stamp.size = in.get<uint64_t>();
        entry.stamp.inode = in.get<uint64_t>();
        entry.bytes = in.getText();
        m_entries.insert_or_assign(std::move(key), std::move(entry));
    }
    return in.ok() && in.atEnd();
}

void CalendarCache::useTimeZone(const std::string& zone)
{
    if (zone == m_zone)
        return;
    m_zone = zone;
    if (!m_entries.empty())
        m_changed = true;
    m_entries.clear();
}

std::unique_ptr<ICalendarFile> CalendarCache::find(const std::string& key, const CalendarFileStamp& stamp)
{
    auto entry = m_entries.find(key);
    if (entry == m_entries.end() || !(entry->second.stamp == stamp))
        return nullptr;
    return decodeICalendarFile(entry->second.bytes);
}

void CalendarCache::remember(const std::string& key, const CalendarFileStamp& stamp, const ICalendarFile& file)
{
    auto owned = std::make_shared<const std::string>(encodeICalendarFile(file));
    m_entries.insert_or_assign(key, Entry { stamp, *owned, owned });
    m_changed = true;
}

bool CalendarCache::save(const std::vector<std::string>& keys)
{
    if (!m_changed && keys.size() == m_entries.size())
        return true;
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
