#include "apps/phonectl/Json.h"

#include "apps/common/PlistJson.h"

#include <set>
#include <vector>

using nlohmann::json;

constexpr int kMaxDepth = 64;

std::string toJson(const PlistValue& value, bool pretty)
{
    return plistToJson(value).dump(pretty ? 2 : -1, ' ', false, json::error_handler_t::replace);
}

std::optional<PlistValue> parseJson(std::string_view text, std::string* error)
{
    // What the property-list form cannot hold is refused while reading: a null, a key given
    // twice in one object, nesting deeper than kMaxDepth.
    std::string refusal;
    std::vector<std::set<std::string>> keys;
    auto check = [&](int depth, json::parse_event_t event, json& parsed) {
        if (!refusal.empty())
            return false;
        switch (event) {
        case json::parse_event_t::object_start:
        case json::parse_event_t::array_start:
            if (depth >= kMaxDepth)
                refusal = "nesting deeper than " + std::to_string(kMaxDepth) + " levels";
            if (event == json::parse_event_t::object_start)
                keys.emplace_back();
            break;
        case json::parse_event_t::object_end:
            if (!keys.empty())
                keys.pop_back();
            break;
        case json::parse_event_t::key:
            if (!keys.empty() && !keys.back().insert(parsed.get<std::string>()).second)
                refusal = "the key \"" + parsed.get<std::string>() + "\" is given twice";
            break;
        case json::parse_event_t::value:
            if (parsed.is_null())
                refusal = "null has no property-list form";
            break;
        default:
            break;
        }
        return refusal.empty();
    };
    try {
        json parsed = json::parse(text.begin(), text.end(), check);
        if (refusal.empty())
            return jsonToPlist(parsed);
    } catch (const json::exception& exception) {
        refusal = exception.what();
    }
    if (error)
        *error = refusal;
    return std::nullopt;
}
