#include "platform/session/evolution/SourceColor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <vector>

namespace {

std::string hex(int red, int green, int blue)
{
    char out[8];
    std::snprintf(out, sizeof out, "#%02X%02X%02X", red, green, blue);
    return out;
}

// "#" and hex digits whose channels are 1, 2 or 4 digits long; an alpha channel is dropped.
std::optional<std::string> fromHex(const std::string& digits)
{
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return std::nullopt;
    size_t width = digits.size() == 3 ? 1 : digits.size() == 6 || digits.size() == 8 ? 2 : digits.size() == 12 ? 4 : 0;
    if (!width)
        return std::nullopt;
    int channels[3];
    for (int i = 0; i < 3; ++i) {
        int value = std::stoi(digits.substr(i * width, width), nullptr, 16);
        channels[i] = width == 1 ? value * 17 : width == 4 ? value >> 8 : value;
    }
    return hex(channels[0], channels[1], channels[2]);
}

// "rgb(r,g,b)" or "rgba(r,g,b,a)", channels 0 to 255.
std::optional<std::string> fromFunction(const std::string& text)
{
    size_t open = text.find('(');
    size_t close = text.rfind(')');
    std::string name = text.substr(0, open);
    if (open == std::string::npos || close == std::string::npos || close < open || (name != "rgb" && name != "rgba"))
        return std::nullopt;
    std::stringstream list(text.substr(open + 1, close - open - 1));
    std::vector<double> values;
    for (std::string item; std::getline(list, item, ',');) {
        try {
            values.push_back(std::stod(item));
        } catch (...) {
            return std::nullopt;
        }
    }
    if (values.size() != (name == "rgb" ? 3u : 4u))
        return std::nullopt;
    auto channel = [](double v) { return static_cast<int>(std::clamp(v, 0.0, 255.0) + 0.5); };
    return hex(channel(values[0]), channel(values[1]), channel(values[2]));
}

}

std::optional<std::string> sourceColorHex(const std::string& value)
{
    std::string text;
    for (char c : value)
        if (!std::isspace(static_cast<unsigned char>(c)))
            text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text.empty())
        return std::nullopt;
    if (text.front() == '#')
        return fromHex(text.substr(1));
    return fromFunction(text);
}
