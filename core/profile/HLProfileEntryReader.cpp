#include "core/profile/HLProfileEntryReader.h"

#include "core/HLLog.h"

namespace {

const PlistValue& none()
{
    static const PlistValue value;
    return value;
}

const char* typeName(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::None: return "nothing";
    case PlistValue::Type::Boolean: return "a boolean";
    case PlistValue::Type::Integer: return "an integer";
    case PlistValue::Type::Real: return "a real";
    case PlistValue::Type::String: return "a string";
    case PlistValue::Type::Date: return "a date";
    case PlistValue::Type::Data: return "data";
    case PlistValue::Type::Array: return "an array";
    case PlistValue::Type::Dictionary: return "a dictionary";
    case PlistValue::Type::Object: return "an object";
    }
    return "something";
}

}

const PlistValue& HLProfileEntryReader::scalar(const char* key) const
{
    const PlistValue& value = lookup(key);
    if (value.isNone() || value.isNumber() || value.isString())
        return value;
    return rejected(key, value, "a number or a string");
}

std::optional<std::string> HLProfileEntryReader::text(const char* key) const
{
    const PlistValue& value = lookup(key);
    if (auto s = value.asString())
        return *s;
    if (!value.isNone())
        rejected(key, value, "a string");
    return std::nullopt;
}

std::optional<std::vector<std::string>> HLProfileEntryReader::list(const char* key) const
{
    const PlistValue& value = lookup(key);
    if (value.isNone())
        return std::nullopt;
    if (auto strings = plistStringArray(value))
        return strings;
    rejected(key, value, "an array of strings");
    return std::nullopt;
}

const PlistValue& HLProfileEntryReader::lookup(const char* key) const
{
    auto it = m_entry.find(key);
    return it == m_entry.end() ? none() : it->second;
}

const PlistValue& HLProfileEntryReader::rejected(const char* key, const PlistValue& value, const char* expected) const
{
    HLLogWarning("Ignoring \"%s\" of a profile entry: expected %s, found %s", key, expected, typeName(value));
    return none();
}
