#include "platform/foundation/NSDateFormatter.h"

#include "platform/foundation/NSCalendar.h"

#include <cctype>
#include <vector>

namespace {

struct Token {
    char letter; // 0 for literal text
    size_t count;
    std::string literal;
};

std::vector<Token> tokenize(const std::string& format)
{
    std::vector<Token> tokens;
    for (size_t i = 0; i < format.size();) {
        char c = format[i];
        if (c == '\'') {
            size_t end = format.find('\'', i + 1);
            std::string text = format.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            tokens.push_back({ 0, 0, text.empty() ? "'" : text });
            i = end == std::string::npos ? format.size() : end + 1;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            size_t n = 1;
            while (i + n < format.size() && format[i + n] == c)
                ++n;
            tokens.push_back({ c, n, {} });
            i += n;
        } else {
            tokens.push_back({ 0, 0, std::string(1, c) });
            ++i;
        }
    }
    return tokens;
}

std::string padded(int value, size_t width)
{
    std::string digits = std::to_string(value);
    while (digits.size() < width)
        digits.insert(digits.begin(), '0');
    return digits;
}

}

std::string NSDateFormatter::stringFromDate(const NSDate& date) const
{
    if (m_format.empty())
        return date.description();
    auto c = NSCalendar::currentCalendar().components(date);
    std::string out;
    for (const auto& t : tokenize(m_format)) {
        switch (t.letter) {
        case 0: out += t.literal; break;
        case 'y': out += t.count == 2 ? padded(*c.year % 100, 2) : padded(*c.year, t.count); break;
        case 'M': out += padded(*c.month, t.count); break;
        case 'd': out += padded(*c.day, t.count); break;
        case 'H': out += padded(*c.hour, t.count); break;
        case 'h': out += padded(*c.hour % 12 == 0 ? 12 : *c.hour % 12, t.count); break;
        case 'm': out += padded(*c.minute, t.count); break;
        case 's': out += padded(*c.second, t.count); break;
        case 'a': out += *c.hour < 12 ? "AM" : "PM"; break;
        default: out += std::string(t.count, t.letter); break;
        }
    }
    return out;
}

std::optional<NSDate> NSDateFormatter::dateFromString(const std::string& text) const
{
    NSDateComponents c { 2000, 1, 1, 0, 0, 0 };
    std::optional<bool> pm;
    int hour12 = -1;
    size_t at = 0;
    auto number = [&](size_t maxDigits) -> std::optional<int> {
        size_t start = at;
        int value = 0;
        while (at < text.size() && at - start < maxDigits && std::isdigit(static_cast<unsigned char>(text[at])))
            value = value * 10 + (text[at++] - '0');
        if (at == start)
            return std::nullopt;
        return value;
    };
    for (const auto& t : tokenize(m_format)) {
        if (t.letter == 0) {
            if (text.compare(at, t.literal.size(), t.literal) != 0)
                return std::nullopt;
            at += t.literal.size();
            continue;
        }
        if (t.letter == 'a') {
            std::string period = text.substr(at, 2);
            for (auto& ch : period)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (period != "AM" && period != "PM")
                return std::nullopt;
            pm = period == "PM";
            at += 2;
            continue;
        }
        auto value = number(t.letter == 'y' ? 4 : 2);
        if (!value)
            return std::nullopt;
        switch (t.letter) {
        case 'y': c.year = t.count == 2 ? 2000 + *value : *value; break;
        case 'M': c.month = *value; break;
        case 'd': c.day = *value; break;
        case 'H': c.hour = *value; break;
        case 'h': hour12 = *value; break;
        case 'm': c.minute = *value; break;
        case 's': c.second = *value; break;
        default: return std::nullopt;
        }
    }
    if (at != text.size())
        return std::nullopt;
    if (hour12 >= 0)
        c.hour = (hour12 % 12) + (pm.value_or(false) ? 12 : 0);
    return NSCalendar::currentCalendar().dateFromComponents(c);
}
