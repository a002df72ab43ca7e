#include "apps/settings/AssetManifest.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

constexpr size_t kHashDigits = 12;

}

AssetManifest::AssetManifest(std::string_view json)
{
    auto parsed = nlohmann::json::parse(json, nullptr, false);
    if (!parsed.is_object())
        return;
    for (const auto& [plain, hashed] : parsed.items())
        if (hashed.is_string())
            m_hashed[plain] = hashed.get<std::string>();
}

std::string AssetManifest::rewrite(std::string html) const
{
    for (const auto& [plain, hashed] : m_hashed) {
        const std::string from = '"' + plain + '"';
        const std::string to = '"' + hashed + '"';
        for (auto at = html.find(from); at != std::string::npos; at = html.find(from, at + to.size()))
            html.replace(at, from.size(), to);
    }
    return html;
}

bool AssetManifest::isContentHashed(std::string_view fileName)
{
    auto last = fileName.rfind('.');
    if (last == std::string_view::npos || last < kHashDigits + 2)
        return false;
    auto hash = fileName.substr(last - kHashDigits, kHashDigits);
    return fileName[last - kHashDigits - 1] == '.'
        && std::ranges::all_of(hash, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}
