#include "apps/springboard/OpenStepPlist.h"

#include <cctype>

namespace {

// Deep enough for any filter file; deeper text is refused rather than overflowing the stack.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) { }

    std::optional<PlistValue> document()
    {
        auto value = parseValue(0);
        if (!value)
            return std::nullopt;
        skipSpace();
        if (m_pos != m_text.size())
            return fail("unexpected text after the property list");
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
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_pos;
            } else if (m_text.substr(m_pos, 2) == "//") {
                while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                    ++m_pos;
            } else if (m_text.substr(m_pos, 2) == "/*") {
                auto end = m_text.find("*/", m_pos + 2);
                m_pos = end == std::string_view::npos ? m_text.size() : end + 2;
            } else {
                return;
            }
        }
    }

    bool take(char c)
    {
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    static bool isBareCharacter(char c)
    {
        return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("_$+/:.-").find(c) != std::string_view::npos;
    }

    std::optional<PlistValue> parseValue(int depth)
    {
        if (depth > kMaxDepth)
            return fail("nesting too deep");
        skipSpace();
        if (m_pos >= m_text.size())
            return fail("unexpected end of text");
        char c = m_text[m_pos];
        if (c == '{')
            return parseDictionary(depth);
        if (c == '(')
            return parseArray(depth);
        auto text = parseString();
        if (!text)
            return std::nullopt;
        return PlistValue(*text);
    }

    std::optional<std::string> parseString()
    {
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '"')
            return parseQuoted();
        size_t start = m_pos;
        while (m_pos < m_text.size() && isBareCharacter(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start)
            return fail("expected a string");
        return std::string(m_text.substr(start, m_pos - start));
    }

    std::optional<std::string> parseQuoted()
    {
        std::string out;
        ++m_pos;
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                break;
            char escaped = m_text[m_pos++];
            switch (escaped) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            default: out += escaped; break;
            }
        }
        return fail("unterminated quoted string");
    }

    std::optional<PlistValue> parseDictionary(int depth)
    {
        ++m_pos;
        PlistDictionary dictionary;
        for (;;) {
            if (take('}'))
                return PlistValue(std::move(dictionary));
            auto key = parseString();
            if (!key)
                return std::nullopt;
            if (!take('='))
                return fail("expected \"=\" after the key \"" + *key + "\"");
            auto value = parseValue(depth + 1);
            if (!value)
                return std::nullopt;
            if (dictionary.count(*key))
                return fail("the key \"" + *key + "\" occurs twice");
            dictionary.emplace(std::move(*key), std::move(*value));
            if (take(';'))
                continue;
            if (take('}'))
                return PlistValue(std::move(dictionary));
            return fail("expected \";\" or \"}\"");
        }
    }

    std::optional<PlistValue> parseArray(int depth)
    {
        ++m_pos;
        PlistArray array;
        for (;;) {
            if (take(')'))
                return PlistValue(std::move(array));
            auto value = parseValue(depth + 1);
            if (!value)
                return std::nullopt;
            array.push_back(std::move(*value));
            if (take(','))
                continue;
            if (take(')'))
                return PlistValue(std::move(array));
            return fail("expected \",\" or \")\"");
        }
    }

    std::string_view m_text;
    size_t m_pos { 0 };
    std::string m_error;
};

}

std::optional<PlistValue> parseOpenStepPlist(std::string_view text, std::string* error)
{
    Parser parser(text);
    auto value = parser.document();
    if (!value && error)
        *error = parser.error();
    return value;
}
