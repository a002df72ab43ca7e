#include "platform/foundation/VQInstanceVariables.h"

#include <map>
#include <mutex>
#include <vector>

namespace {

std::mutex& readersMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::multimap<std::string, VQInstanceVariables::Reader>& readers()
{
    static std::multimap<std::string, VQInstanceVariables::Reader> table;
    return table;
}

}

void VQInstanceVariables::add(const std::string& key, Reader read)
{
    std::lock_guard lock(readersMutex());
    readers().emplace(key, std::move(read));
}

PlistValue vq_instanceVariableForKey(const std::shared_ptr<NSObject>& object, const std::string& key)
{
    if (!object)
        return {};
    std::vector<VQInstanceVariables::Reader> candidates;
    {
        std::lock_guard lock(readersMutex());
        auto [first, last] = readers().equal_range(key);
        for (auto it = first; it != last; ++it)
            candidates.push_back(it->second);
    }
    for (const auto& read : candidates) {
        PlistValue value = read(*object);
        if (!value.isNone())
            return value;
    }
    return {};
}
