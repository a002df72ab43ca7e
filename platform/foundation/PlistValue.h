#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;
using PlistData = std::vector<uint8_t>;

// A property-list value: boolean, integer, real, string, date, data, array or dictionary, or
// no value at all. In memory a value may also hold a reference object (a notification's user
// info carries the profile record); such a value cannot be written to a file.
class PlistValue {
public:
    enum class Type { None, Boolean, Integer, Real, String, Date, Data, Array, Dictionary, Object };

    PlistValue() = default;
    PlistValue(bool value) : m_value(value) { }
    template<typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
    PlistValue(T value) : m_value(static_cast<int64_t>(value)) { }
    PlistValue(double value) : m_value(value) { }
    PlistValue(float value) : m_value(static_cast<double>(value)) { }
    PlistValue(std::string value) : m_value(std::move(value)) { }
    PlistValue(const char* value) : m_value(std::string(value)) { }
    PlistValue(NSDate value) : m_value(value) { }
    PlistValue(PlistData value) : m_value(std::move(value)) { }
    PlistValue(PlistArray value) : m_value(std::move(value)) { }
    PlistValue(PlistDictionary value) : m_value(std::move(value)) { }
    PlistValue(std::shared_ptr<NSObject> value) : m_value(std::move(value)) { }
    template<typename T>
        requires std::is_base_of_v<NSObject, T>
    PlistValue(std::shared_ptr<T> value) : m_value(std::static_pointer_cast<NSObject>(std::move(value))) { }
    PlistValue(const std::vector<std::string>& strings);

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isNone() const { return type() == Type::None; }
    bool isNumber() const { return type() == Type::Boolean || type() == Type::Integer || type() == Type::Real; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isDate() const { return type() == Type::Date; }

    // Typed access; nullptr when the value is of another type.
    const bool* asBool() const { return std::get_if<bool>(&m_value); }
    const int64_t* asInteger() const { return std::get_if<int64_t>(&m_value); }
    const double* asReal() const { return std::get_if<double>(&m_value); }
    const std::string* asString() const { return std::get_if<std::string>(&m_value); }
    const NSDate* asDate() const { return std::get_if<NSDate>(&m_value); }
    const PlistData* asData() const { return std::get_if<PlistData>(&m_value); }
    const PlistArray* asArray() const { return std::get_if<PlistArray>(&m_value); }
    PlistArray* asArray() { return std::get_if<PlistArray>(&m_value); }
    const PlistDictionary* asDictionary() const { return std::get_if<PlistDictionary>(&m_value); }
    PlistDictionary* asDictionary() { return std::get_if<PlistDictionary>(&m_value); }
    std::shared_ptr<NSObject> asObject() const;
    template<typename T>
    std::shared_ptr<T> asObject() const { return std::dynamic_pointer_cast<T>(asObject()); }

    // The conversions of a number or a string as the phone's NSNumber and NSString make them:
    // a number by value, a string by its leading numeric text. Anything else converts to 0.
    bool boolValue() const;
    long long longLongValue() const;
    int intValue() const;
    double doubleValue() const;
    float floatValue() const;

    // Dictionary look-up; a missing key or a non-dictionary gives a None value. Not on a
    // temporary: the result would refer into a value that is already gone.
    const PlistValue& operator[](const std::string& key) const&;
    const PlistValue& operator[](const std::string& key) const&& = delete;

    // The text form of the phone's descriptions: { key = value; }, ( a, b ).
    std::string description() const;

    bool operator==(const PlistValue&) const = default;

private:
    std::variant<std::monostate, bool, int64_t, double, std::string, NSDate, PlistData, PlistArray,
        PlistDictionary, std::shared_ptr<NSObject>>
        m_value;
};

// The strings of an array value, in order; nullopt when the value is not an array of strings.
std::optional<std::vector<std::string>> plistStringArray(const PlistValue&);
