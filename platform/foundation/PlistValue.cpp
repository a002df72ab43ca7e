#include "platform/foundation/PlistValue.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

// The leading numeric text of a string as NSString reads it: leading blanks, an optional
// sign, digits.
const char* skipBlanks(const char* s)
{
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\f' || *s == '\v')
        ++s;
    return s;
}

bool stringFlag(const std::string& text)
{
    const char* s = skipBlanks(text.c_str());
    if (*s == '+' || *s == '-')
        ++s;
    while (*s == '0')
        ++s;
    return *s == 'Y' || *s == 'y' || *s == 'T' || *s == 't' || (*s >= '1' && *s <= '9');
}

long long stringInteger(const std::string& text)
{
    const char* s = skipBlanks(text.c_str());
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    unsigned long long value = 0;
    bool overflow = false;
    for (; std::isdigit(static_cast<unsigned char>(*s)); ++s) {
        unsigned digit = static_cast<unsigned>(*s - '0');
        if (value > (static_cast<unsigned long long>(INT64_MAX) - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    if (overflow)
        return negative ? INT64_MIN : INT64_MAX;
    return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
}

double stringReal(const std::string& text)
{
    return std::strtod(skipBlanks(text.c_str()), nullptr);
}

// Appends the text as the phone's descriptions show it: plain when it is one word of letters,
// digits and a few marks, else in double quotes with quotes and backslashes escaped.
void appendQuoted(std::string& out, const std::string& s)
{
    bool plain = !s.empty();
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.' && c != '/' && c != '$')
            plain = false;
    if (plain) {
        out += s;
        return;
    }
    out += '"';
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

void describe(const PlistValue& value, std::string& out, int indent);

// Containers put one element a line, four spaces deeper than the line that opens them, and
// close at the opening line's depth.
void describeArray(const PlistArray& array, std::string& out, int indent)
{
    size_t pad = static_cast<size_t>(indent) * 4;
    out += "(\n";
    for (size_t i = 0; i < array.size(); ++i) {
        out.append(pad + 4, ' ');
        describe(array[i], out, indent + 1);
        out += i + 1 < array.size() ? ",\n" : "\n";
    }
    out.append(pad, ' ');
    out += ')';
}

void describeDictionary(const PlistDictionary& dictionary, std::string& out, int indent)
{
    size_t pad = static_cast<size_t>(indent) * 4;
    out += "{\n";
    for (const auto& [key, element] : dictionary) {
        out.append(pad + 4, ' ');
        appendQuoted(out, key);
        out += " = ";
        describe(element, out, indent + 1);
        out += ";\n";
    }
    out.append(pad, ' ');
    out += '}';
}

void describe(const PlistValue& value, std::string& out, int indent)
{
    switch (value.type()) {
    case PlistValue::Type::None:
        out += "(null)";
        break;
    case PlistValue::Type::Boolean:
        out += *value.asBool() ? '1' : '0';
        break;
    case PlistValue::Type::Integer: {
        char text[24];
        int n = snprintf(text, sizeof text, "%lld", static_cast<long long>(*value.asInteger()));
        out.append(text, static_cast<size_t>(n));
        break;
    }
    case PlistValue::Type::Real: {
        char text[40];
        int n = snprintf(text, sizeof text, "%.17g", *value.asReal());
        out.append(text, static_cast<size_t>(n));
        break;
    }
    case PlistValue::Type::String:
        appendQuoted(out, *value.asString());
        break;
    case PlistValue::Type::Date:
        out += '"';
        out += value.asDate()->description();
        out += '"';
        break;
    case PlistValue::Type::Data:
        out += "{length = " + std::to_string(value.asData()->size()) + "}";
        break;
    case PlistValue::Type::Array:
        describeArray(*value.asArray(), out, indent);
        break;
    case PlistValue::Type::Dictionary:
        describeDictionary(*value.asDictionary(), out, indent);
        break;
    case PlistValue::Type::Object: {
        auto object = value.asObject();
        out += object ? object->description() : "(null)";
        break;
    }
    }
}

}

PlistValue::PlistValue(const std::vector<std::string>& strings)
{
    PlistArray array;
    array.reserve(strings.size());
    for (const auto& s : strings)
        array.emplace_back(s);
    m_value = std::move(array);
}

std::shared_ptr<NSObject> PlistValue::asObject() const
{
    auto object = std::get_if<std::shared_ptr<NSObject>>(&m_value);
    return object ? *object : nullptr;
}

bool PlistValue::boolValue() const
{
    if (auto b = asBool())
        return *b;
    if (auto i = asInteger())
        return *i != 0;
    if (auto r = asReal())
        return *r != 0.0;
    if (auto s = asString())
        return stringFlag(*s);
    return false;
}

long long PlistValue::longLongValue() const
{
    if (auto b = asBool())
        return *b ? 1 : 0;
    if (auto i = asInteger())
        return *i;
    if (auto r = asReal()) {
        if (!(*r == *r))
            return 0;
        if (*r >= 9.2233720368547758e18)
            return INT64_MAX;
        if (*r <= -9.2233720368547758e18)
            return INT64_MIN;
        return static_cast<long long>(*r);
    }
    if (auto s = asString())
        return stringInteger(*s);
    return 0;
}

int PlistValue::intValue() const
{
    long long value = longLongValue();
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(value);
}

double PlistValue::doubleValue() const
{
    if (auto r = asReal())
        return *r;
    if (auto s = asString())
        return stringReal(*s);
    return static_cast<double>(longLongValue());
}

float PlistValue::floatValue() const
{
    return static_cast<float>(doubleValue());
}

const PlistValue& PlistValue::operator[](const std::string& key) const&
{
    static const PlistValue none;
    auto dictionary = asDictionary();
    if (!dictionary)
        return none;
    auto it = dictionary->find(key);
    return it == dictionary->end() ? none : it->second;
}

std::string PlistValue::description() const
{
    std::string out;
    out.reserve(256);
    describe(*this, out, 0);
    return out;
}

std::optional<std::vector<std::string>> plistStringArray(const PlistValue& value)
{
    auto array = value.asArray();
    if (!array)
        return std::nullopt;
    std::vector<std::string> strings;
    strings.reserve(array->size());
    for (const auto& element : *array) {
        auto s = element.asString();
        if (!s)
            return std::nullopt;
        strings.push_back(*s);
    }
    return strings;
}
