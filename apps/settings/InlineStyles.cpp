#include "apps/settings/InlineStyles.h"

namespace {

constexpr std::string_view kOpening = "<link rel=\"stylesheet\" href=\"";
constexpr std::string_view kClosing = "\">";

// Text that cannot end a style element or open a comment in it.
bool mayStandInStyle(const std::string& css)
{
    return css.find("</") == std::string::npos && css.find("<!--") == std::string::npos;
}

}

std::string InlineStyles::apply(std::string html, const Read& read)
{
    for (size_t at = html.find(kOpening); at != std::string::npos; at = html.find(kOpening, at + 1)) {
        size_t start = at + kOpening.size();
        size_t end = html.find(kClosing, start);
        if (end == std::string::npos)
            break;
        std::string address = html.substr(start, end - start);
        if (!address.starts_with("/page/") || address.find("..") != std::string::npos)
            continue;
        auto css = read(address);
        if (!css || !mayStandInStyle(*css))
            continue;
        std::string style = "<style>" + *css + "</style>";
        html.replace(at, end + kClosing.size() - at, style);
        at += style.size() - 1;
    }
    return html;
}
