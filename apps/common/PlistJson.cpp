#include "apps/common/PlistJson.h"

#include "apps/common/LocalTime.h"

#include <cstdint>
#include <cstdio>

using nlohmann::json;

namespace {

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

json nonScalarToJson(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Date:
        return formatLocalTime(*value.asDate());
    case PlistValue::Type::Data:
        return hexOf(*value.asData());
    case PlistValue::Type::Array: {
        json array = json::array();
        for (const auto& entry : *value.asArray())
            array.push_back(plistToJson(entry));
        return array;
    }
    case PlistValue::Type::Dictionary: {
        json object = json::object();
        for (const auto& [key, entry] : *value.asDictionary())
            object[key] = plistToJson(entry);
        return object;
    }
    case PlistValue::Type::Object: {
        auto object = value.asObject();
        return object ? object->description() : std::string();
    }
    default:
        return nullptr;
    }
}

std::optional<PlistValue> nonScalarToPlist(const json& value)
{
    if (value.is_array()) {
        PlistArray array;
        for (const auto& entry : value) {
            auto converted = jsonToPlist(entry);
            if (!converted)
                return std::nullopt;
            array.push_back(std::move(*converted));
        }
        return array;
    }
    if (value.is_object()) {
        PlistDictionary dictionary;
        for (const auto& [key, entry] : value.items()) {
            auto converted = jsonToPlist(entry);
            if (!converted)
                return std::nullopt;
            dictionary[key] = std::move(*converted);
        }
        return dictionary;
    }
    return std::nullopt;
}

}

json plistToJson(const PlistValue& value, PlistJsonScope scope)
{
    switch (value.type()) {
    case PlistValue::Type::None:
        return nullptr;
    case PlistValue::Type::Boolean:
        return *value.asBool();
    case PlistValue::Type::Integer:
        return *value.asInteger();
    case PlistValue::Type::Real:
        return *value.asReal();
    case PlistValue::Type::String:
        return *value.asString();
    default:
        return scope == PlistJsonScope::Whole ? nonScalarToJson(value) : json();
    }
}

std::optional<PlistValue> jsonToPlist(const json& value, PlistJsonScope scope)
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
    default:
        return scope == PlistJsonScope::Whole ? nonScalarToPlist(value) : std::nullopt;
    }
}
