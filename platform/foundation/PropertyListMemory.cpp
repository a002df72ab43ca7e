#include "platform/foundation/PropertyListMemory.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {

std::atomic<bool> enabled { false };
std::mutex keptMutex;

std::map<std::string, PropertyListMemory::Known>& kept()
{
    static std::map<std::string, PropertyListMemory::Known> files;
    return files;
}

// One file has one key however its path is spelled.
std::string keyOf(const std::filesystem::path& path)
{
    return path.lexically_normal().native();
}

}

void PropertyListMemory::setEnabled(bool on)
{
    enabled = on;
    if (!on) {
        std::lock_guard lock(keptMutex);
        kept().clear();
    }
}

bool PropertyListMemory::isEnabled()
{
    return enabled;
}

std::optional<PropertyListMemory::Known> PropertyListMemory::recall(const std::filesystem::path& path)
{
    std::lock_guard lock(keptMutex);
    auto file = kept().find(keyOf(path));
    if (file == kept().end())
        return std::nullopt;
    return file->second;
}

void PropertyListMemory::keepWritten(const std::filesystem::path& path, Written written)
{
    std::lock_guard lock(keptMutex);
    Known& known = kept()[keyOf(path)];
    known.value.reset();
    known.error.clear();
    known.written = std::move(written);
    ++known.generation;
}

void PropertyListMemory::keepRead(const std::filesystem::path& path, Known read)
{
    std::lock_guard lock(keptMutex);
    auto [file, added] = kept().try_emplace(keyOf(path));
    if (!added && file->second.generation != read.generation)
        return;
    read.written.reset();
    file->second = std::move(read);
}
