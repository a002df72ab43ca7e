#include "apps/phonectl/Json.h"

#include "apps/common/LocalTime.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

using nlohmann::json;

namespace {

constexpr int kMaxDepth = 64;

std::string hexOf(const PlistData& data)
{
    std::string hex;
    char pair[3];
    for (uint8_t byte : data) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

json toJsonValue(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::None:
        return nullptr;
    case PlistValue::Type::Boolean:
        return *value.asBool();
    case PlistValue::Type::Integer:
        return *value.asInteger();
    case PlistValue::Type::Real:
        // A number JSON cannot hold (infinity, NaN) is written as null.
        return *value.asReal();
    case PlistValue::Type::String:
        return *value.asString();
    case PlistValue::Type::Date:
        return formatLocalTime(*value.asDate());
    case PlistValue::Type::Data:
        return hexOf(*value.asData());
    case PlistValue::Type::Array: {
        json array = json::array();
        for (const auto& entry : *value.asArray())
            array.push_back(toJsonValue(entry));
        return array;
    }
    case PlistValue::Type::Dictionary: {
        json object = json::object();
        for (const auto& [key, entry] : *value.asDictionary())
            object[key] = toJsonValue(entry);
        return object;
    }
    case PlistValue::Type::Object: {
        auto object = value.asObject();
        return object ? object->description() : std::string();
    }
    }
    return nullptr;
}

PlistValue toPlist(const json& value)
{
    switch (value.type()) {
    case json::value_t::boolean:
        return value.get<bool>();
    case json::value_t::number_integer:
        return value.get<int64_t>();
    case json::value_t::number_unsigned:
        if (value.get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX))
            return static_cast<int64_t>(value.get<uint64_t>());
        return static_cast<double>(value.get<uint64_t>());
    case json::value_t::number_float:
        return value.get<double>();
    case json::value_t::string:
        return value.get<std::string>();
    case json::value_t::array: {
        PlistArray array;
        for (const auto& entry : value)
            array.push_back(toPlist(entry));
        return array;
    }
    case json::value_t::object: {
        PlistDictionary dictionary;
        for (const auto& [key, entry] : value.items())
            dictionary[key] = toPlist(entry);
        return dictionary;
    }
    default:
        return {};
    }
}

}

std::string toJson(const PlistValue& value, bool pretty)
{
    return toJsonValue(value).dump(pretty ? 2 : -1, ' ', false, json::error_handler_t::replace);
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
            return toPlist(parsed);
    } catch (const json::exception& exception) {
        refusal = exception.what();
    }
    if (error)
        *error = refusal;
    return std::nullopt;
}
