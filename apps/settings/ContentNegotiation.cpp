#include "apps/settings/ContentNegotiation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> items(std::string_view list)
{
    std::vector<std::string_view> result;
    while (!list.empty()) {
        auto comma = list.find(',');
        result.push_back(trimmed(list.substr(0, comma)));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return result;
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

// "gzip;q=0.5" → its quality; 1 without a q parameter.
double quality(std::string_view parameters)
{
    while (!parameters.empty()) {
        auto semicolon = parameters.find(';');
        auto parameter = trimmed(parameters.substr(0, semicolon));
        if (parameter.size() > 2 && sameLetters(parameter.substr(0, 2), "q="))
            return std::strtod(std::string(parameter.substr(2)).c_str(), nullptr);
        parameters = semicolon == std::string_view::npos ? std::string_view() : parameters.substr(semicolon + 1);
    }
    return 1;
}

}

bool acceptsCoding(const std::optional<std::string>& acceptEncoding, std::string_view coding)
{
    if (!acceptEncoding)
        return false;
    std::optional<bool> byWildcard;
    for (auto item : items(*acceptEncoding)) {
        auto semicolon = item.find(';');
        auto name = trimmed(item.substr(0, semicolon));
        double q = semicolon == std::string_view::npos ? 1 : quality(item.substr(semicolon + 1));
        // The coding named outright decides, whatever "*" says.
        if (sameLetters(name, coding))
            return q > 0;
        if (name == "*")
            byWildcard = q > 0;
    }
    return byWildcard.value_or(false);
}

bool matchesEntityTag(const std::optional<std::string>& ifNoneMatch, std::string_view entityTag)
{
    if (!ifNoneMatch)
        return false;
    auto weak = [](std::string_view tag) { return tag.starts_with("W/") ? tag.substr(2) : tag; };
    for (auto item : items(*ifNoneMatch))
        if (item == "*" || weak(item) == weak(entityTag))
            return true;
    return false;
}
