#include "apps/phonectl/Json.h"

#include "apps/common/LocalTime.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kMaxDepth = 64;

void appendString(std::string& out, const std::string& text)
{
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void appendReal(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    std::string number(text, result.ptr);
    // A real stays recognisably real ("1.0", not "1").
    if (number.find_first_of(".e") == std::string::npos)
        number += ".0";
    out += number;
}

void write(std::string& out, const PlistValue& value, bool pretty, int depth)
{
    auto newline = [&](int level) {
        if (!pretty)
            return;
        out += '\n';
        out.append(static_cast<size_t>(level) * 2, ' ');
    };
    switch (value.type()) {
    case PlistValue::Type::None: out += "null"; break;
    case PlistValue::Type::Boolean: out += *value.asBool() ? "true" : "false"; break;
    case PlistValue::Type::Integer: out += std::to_string(*value.asInteger()); break;
    case PlistValue::Type::Real: appendReal(out, *value.asReal()); break;
    case PlistValue::Type::String: appendString(out, *value.asString()); break;
    case PlistValue::Type::Date: appendString(out, formatLocalTime(*value.asDate())); break;
    case PlistValue::Type::Data: {
        std::string hex;
        char pair[3];
        for (uint8_t byte : *value.asData()) {
            std::snprintf(pair, sizeof pair, "%02x", byte);
            hex += pair;
        }
        appendString(out, hex);
        break;
    }
    case PlistValue::Type::Array: {
        const PlistArray& array = *value.asArray();
        if (array.empty()) {
            out += "[]";
            break;
        }
        out += '[';
        for (size_t i = 0; i < array.size(); ++i) {
            if (i)
                out += pretty ? "," : ", ";
            newline(depth + 1);
            write(out, array[i], pretty, depth + 1);
        }
        newline(depth);
        out += ']';
        break;
    }
    case PlistValue::Type::Dictionary: {
        const PlistDictionary& dictionary = *value.asDictionary();
        if (dictionary.empty()) {
            out += "{}";
            break;
        }
        out += '{';
        bool first = true;
        for (const auto& [key, entry] : dictionary) {
            if (!first)
                out += pretty ? "," : ", ";
            first = false;
            newline(depth + 1);
            appendString(out, key);
            out += ": ";
            write(out, entry, pretty, depth + 1);
        }
        newline(depth);
        out += '}';
        break;
    }
    case PlistValue::Type::Object: {
        auto object = value.asObject();
        appendString(out, object ? object->description() : "");
        break;
    }
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) { }

    std::optional<PlistValue> document()
    {
        auto value = parseValue(0);
        if (!value)
            return std::nullopt;
        skipSpace();
        if (m_pos != m_text.size())
            return fail("unexpected text after the value");
        return value;
    }

    const std::string& error() const { return m_error; }

private:
    std::nullopt_t fail(const std::string& why)
    {
        if (m_error.empty())
            m_error = why + " at offset " + std::to_string(m_pos);
        return std::nullopt;
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool literal(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }

    std::optional<PlistValue> parseValue(int depth)
    {
        if (depth > kMaxDepth)
            return fail("nesting deeper than 64 levels");
        skipSpace();
        if (m_pos >= m_text.size())
            return fail("unexpected end of text");
        char c = m_text[m_pos];
        if (c == '{')
            return parseObject(depth);
        if (c == '[')
            return parseArray(depth);
        if (c == '"') {
            auto text = parseString();
            if (!text)
                return std::nullopt;
            return PlistValue(*text);
        }
        if (literal("true"))
            return PlistValue(true);
        if (literal("false"))
            return PlistValue(false);
        if (literal("null"))
            return fail("null has no property-list form");
        return parseNumber();
    }

    std::optional<PlistValue> parseNumber()
    {
        size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-')
            ++m_pos;
        size_t digitsStart = m_pos;
        while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
        if (m_pos == digitsStart || (m_text[digitsStart] == '0' && m_pos - digitsStart > 1))
            return fail("malformed number");
        bool integral = true;
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            integral = false;
            size_t fraction = ++m_pos;
            while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos])))
                ++m_pos;
            if (m_pos == fraction)
                return fail("malformed number");
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            integral = false;
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
                ++m_pos;
            size_t exponent = m_pos;
            while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos])))
                ++m_pos;
            if (m_pos == exponent)
                return fail("malformed number");
        }
        std::string_view number = m_text.substr(start, m_pos - start);
        if (integral) {
            int64_t value = 0;
            auto result = std::from_chars(number.data(), number.data() + number.size(), value);
            if (result.ec == std::errc() && result.ptr == number.data() + number.size())
                return PlistValue(value);
        }
        double real = 0;
        auto result = std::from_chars(number.data(), number.data() + number.size(), real);
        if (result.ec != std::errc() || !std::isfinite(real))
            return fail("number out of range");
        return PlistValue(real);
    }

    bool hex4(uint32_t& value)
    {
        if (m_pos + 4 > m_text.size())
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    static void appendUtf8(std::string& out, uint32_t code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::string> parseString()
    {
        std::string out;
        ++m_pos;
        while (m_pos < m_text.size()) {
            unsigned char c = static_cast<unsigned char>(m_text[m_pos++]);
            if (c == '"')
                return out;
            if (c < 0x20)
                return fail("control character in a string");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_text.size())
                break;
            char escaped = m_text[m_pos++];
            switch (escaped) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t code = 0;
                if (!hex4(code))
                    return fail("malformed \\u escape");
                if (code >= 0xD800 && code < 0xDC00) {
                    uint32_t low = 0;
                    if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low >= 0xE000)
                        return fail("unpaired surrogate in a \\u escape");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    return fail("unpaired surrogate in a \\u escape");
                }
                appendUtf8(out, code);
                break;
            }
            default: return fail("unknown escape in a string");
            }
        }
        return fail("unterminated string");
    }

    std::optional<PlistValue> parseArray(int depth)
    {
        ++m_pos;
        PlistArray array;
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return PlistValue(std::move(array));
        }
        for (;;) {
            auto value = parseValue(depth + 1);
            if (!value)
                return std::nullopt;
            array.push_back(std::move(*value));
            skipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == ']') {
                ++m_pos;
                return PlistValue(std::move(array));
            }
            return fail("expected \",\" or \"]\"");
        }
    }

    std::optional<PlistValue> parseObject(int depth)
    {
        ++m_pos;
        PlistDictionary object;
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            return PlistValue(std::move(object));
        }
        for (;;) {
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"')
                return fail("expected a key in quotes");
            auto key = parseString();
            if (!key)
                return std::nullopt;
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != ':')
                return fail("expected \":\"");
            ++m_pos;
            auto value = parseValue(depth + 1);
            if (!value)
                return std::nullopt;
            if (!object.emplace(*key, std::move(*value)).second)
                return fail("the key \"" + *key + "\" occurs twice");
            skipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == '}') {
                ++m_pos;
                return PlistValue(std::move(object));
            }
            return fail("expected \",\" or \"}\"");
        }
    }

    std::string_view m_text;
    size_t m_pos { 0 };
    std::string m_error;
};

}

std::string toJson(const PlistValue& value, bool pretty)
{
    std::string out;
    write(out, value, pretty, 0);
    return out;
}

std::optional<PlistValue> parseJson(std::string_view text, std::string* error)
{
    Reader reader(text);
    auto value = reader.document();
    if (!value && error)
        *error = reader.error();
    return value;
}
