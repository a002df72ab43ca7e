#include "apps/settings/AssetCache.h"

#include "apps/settings/Gzip.h"
#include "platform/machinery/AtomicFile.h"

#include <cinttypes>
#include <cstdio>
#include <sys/stat.h>

namespace {

// What tells a source's versions apart: its file (an editor or a build may write a new one in its
// place), time of change and size. The kernel's clock for file times is coarse: two writes of
// the same size in one tick differ in none of these, which no build or edit does.
std::string stampOf(const std::vector<std::filesystem::path>& sources)
{
    std::string stamp;
    for (const auto& source : sources) {
        struct stat status { };
        if (stat(source.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            stamp += "-;";
            continue;
        }
        stamp += std::to_string(status.st_ino) + "@" + std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec) + ":"
            + std::to_string(status.st_size) + ";";
    }
    return stamp;
}

// 64-bit FNV-1a: a tag that changes with the bytes; it guards no secret.
std::string entityTagOf(const std::string& bytes, const char* suffix)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    char tag[40];
    std::snprintf(tag, sizeof tag, "\"%016" PRIx64 "%s\"", hash, suffix);
    return tag;
}

std::shared_ptr<const Asset> assetOf(std::string bytes)
{
    auto asset = std::make_shared<Asset>();
    asset->entityTag = entityTagOf(bytes, "");
    asset->gzippedEntityTag = entityTagOf(bytes, "-gzip");
    // Less than a tenth saved (an image, a file of a few bytes): identity only.
    auto compressed = gzip(bytes);
    if (compressed.size() * 10 < bytes.size() * 9)
        asset->gzipped = std::move(compressed);
    asset->bytes = std::move(bytes);
    return asset;
}

}

std::shared_ptr<const Asset> AssetCache::file(const std::filesystem::path& path)
{
    return made(path.string(), { path }, [&path]() -> std::optional<std::string> {
        std::string bytes;
        if (!readFile(path, bytes))
            return std::nullopt;
        return bytes;
    });
}

std::shared_ptr<const Asset> AssetCache::made(const std::string& key, const std::vector<std::filesystem::path>& sources, const Make& make)
{
    auto stamp = stampOf(sources);
    auto found = m_entries.find(key);
    if (found != m_entries.end() && found->second.stamp == stamp)
        return found->second.asset;
    auto bytes = make();
    if (!bytes) {
        m_entries.erase(key);
        return nullptr;
    }
    auto asset = assetOf(std::move(*bytes));
    m_entries[key] = Entry { stamp, asset };
    return asset;
}
