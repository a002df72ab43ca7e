#include "apps/settings/FirstFrame.h"

#include "platform/machinery/MarkupEscape.h"

#include <cstdio>
#include <optional>

namespace {

using json = nlohmann::json;

std::string text(const json& object, const char* key)
{
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool flag(const json& object, const char* key)
{
    auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

// An address that may stand in a style attribute's url("…"): the host's own images and data
// addresses, without anything that would end the string or the attribute.
bool isPlainAddress(const std::string& address)
{
    if (!address.starts_with("/phone/") && !address.starts_with("data:image/"))
        return false;
    return address.find_first_of("\"'\\()<>&\n\r") == std::string::npos;
}

// A number as CSS writes it: no more digits than it has.
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A CSS colour as the host writes it: rgba(…), a name or a hex value.
bool isPlainColor(const std::string& css)
{
    return !css.empty() && css.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789(),.% #-") == std::string::npos;
}

// A colour of the host as a background: plain CSS, or an image that tiles over the app's tint.
std::string background(const json& color)
{
    if (!color.is_object())
        return "";
    std::string css = text(color, "css");
    if (isPlainColor(css))
        return "background:" + css;
    std::string image = text(color, "image");
    if (!isPlainAddress(image))
        return "";
    std::string style = "background:url(&quot;" + image + "&quot;) var(--app-tint)";
    // A see-through pattern lets the screen through a little, never so far that white text on it
    // is lost.
    const json& alpha = color.value("alpha", json());
    if (alpha.is_number() && alpha.get<double>() < 1)
        style += alpha.get<double>() < 0.85 ? ";opacity:0.85" : ";opacity:" + number(alpha.get<double>());
    return style;
}

std::string styleAttribute(const std::string& style)
{
    return style.empty() ? "" : " style=\"" + style + "\"";
}

// The iOS chevron of a link row.
constexpr const char* kChevron = "<svg class=\"ff-chevron\" viewBox=\"0 0 512 512\" aria-hidden=\"true\"><path d=\"M184 112l144 144-144 144\"/></svg>";

std::optional<std::string> row(const json& row)
{
    std::string kind = text(row, "kind");
    bool plain = kind == "switch" || kind == "link" || kind == "button" || kind == "confirm" || kind == "static";
    if (!plain || row.contains("labels") || flag(row, "wrap") || flag(row, "checked"))
        return std::nullopt;
    std::string out = "<div class=\"ff-item\">";
    std::string icon = text(row, "icon");
    if (isPlainAddress(icon))
        out += "<img class=\"ff-icon\" src=\"" + escapeMarkup(icon) + "\" alt=\"\">";
    out += "<div class=\"ff-inner\"><span class=\"ff-label";
    if (flag(row, "destructive"))
        out += " ff-danger";
    out += "\">" + escapeMarkup(text(row, "title")) + "</span>";
    if (kind == "switch") {
        out += std::string("<span class=\"ff-toggle") + (row.value("value", json()).is_boolean() && row["value"].get<bool>() ? " on" : "") + "\"></span>";
    } else {
        std::string detail = text(row, "detail");
        if (!detail.empty()) {
            const json& color = row.value("detailColor", json());
            bool pattern = color.is_object() && color.contains("image");
            std::string css = color.is_object() ? text(color, "css") : "";
            out += std::string("<span class=\"ff-detail") + (pattern ? " pattern-text" : "") + "\""
                + styleAttribute(isPlainColor(css) ? "color:" + css : "") + ">" + escapeMarkup(detail) + "</span>";
        }
        if (kind == "link" && text(row, "accessory") == "disclosure")
            out += kChevron;
    }
    return out + "</div></div>";
}

std::optional<std::string> group(const json& group)
{
    const json& rows = group.value("rows", json::array());
    const json& header = group.value("header", json());
    std::string footer = text(group, "footer");
    std::string title = text(group, "title");
    if (!rows.is_array() || (!header.is_object() && rows.empty() && footer.empty()))
        return std::string();
    std::string out = std::string("<section class=\"group") + (header.is_object() ? " with-header" : "") + "\">";
    if (header.is_object()) {
        out += "<div class=\"package-header\"" + styleAttribute(background(header.value("background", json()))) + "><h1>" + escapeMarkup(text(header, "title"))
            + "</h1><p>" + escapeMarkup(text(header, "subTitle")) + "</p></div>";
    }
    if (!rows.empty()) {
        if (!title.empty())
            out += "<div class=\"ff-list-header\">" + escapeMarkup(title) + "</div>";
        out += "<div class=\"ff-list\">";
        for (const auto& item : rows) {
            auto drawn = row(item);
            if (!drawn)
                return std::nullopt;
            out += *drawn;
        }
        out += "</div>";
    }
    if (!footer.empty())
        out += "<p class=\"group-footer\">" + escapeMarkup(footer) + "</p>";
    return out + "</section>";
}

std::string barButton(const json& button)
{
    std::string image = text(button, "image");
    std::string content;
    if (text(button, "system") == "add")
        content = "<span class=\"add-glyph\">+</span>";
    else if (isPlainAddress(image))
        content = "<img src=\"" + escapeMarkup(image) + "\" alt=\"\">";
    else
        content = escapeMarkup(text(button, "title"));
    return "<span class=\"ff-button\">" + content + "</span>";
}

std::optional<std::string> bar(const json& screen, const json& barColors)
{
    bool back = screen.contains("back") && !screen["back"].is_null();
    if (back || !screen.value("left", json::array()).empty() || !text(screen, "titleLabel").empty())
        return std::nullopt;
    std::string style = barColors.is_object() ? background(barColors.value("barTint", json())) : "";
    std::string out = std::string("<div class=\"ff-bar") + (style.empty() ? "" : " tinted") + "\"" + styleAttribute(style) + "><div class=\"ff-title\">";
    std::string image = text(screen, "titleImage");
    if (isPlainAddress(image)) {
        // The logo fades in as the live bar's does, which goes on from where this one is.
        const json& fade = screen.value("titleFade", json());
        std::string look = fade.is_number() && fade.get<double>() > 0
            ? "\" style=\"animation-duration:" + number(fade.get<double>()) + "s\""
            : " shown\"";
        out += "<img class=\"title-image" + look + " src=\"" + escapeMarkup(image) + "\" alt=\""
            + escapeMarkup(text(screen, "title").empty() ? "Hushline" : text(screen, "title")) + "\">";
    } else {
        out += escapeMarkup(text(screen, "title"));
    }
    out += "</div><div class=\"ff-end\">";
    // The first right button is the outermost.
    const json& right = screen.value("right", json::array());
    for (auto it = right.rbegin(); right.is_array() && it != right.rend(); ++it)
        out += barButton(*it);
    return out + "</div></div>";
}

}

std::string FirstFrame::markup(const json& navigation)
{
    if (!navigation.is_object())
        return "";
    const json& screens = navigation.value("screens", json::array());
    if (!screens.is_array() || screens.size() != 1 || !screens[0].is_object())
        return "";
    const json& screen = screens[0];
    if ((screen.contains("pane") && !screen["pane"].is_null()) || flag(screen, "editing"))
        return "";
    auto top = bar(screen, navigation.value("bar", json()));
    if (!top)
        return "";
    std::string list;
    for (const auto& item : screen.value("groups", json::array())) {
        auto drawn = group(item);
        if (!drawn)
            return "";
        list += *drawn;
    }
    if (list.empty())
        return "";
    return *top + "<div class=\"ff-content\"><div class=\"groups\">" + list + "</div></div>";
}

namespace {

// JSON as the content of a script element: no "<" that could end the element or open a comment
// ("\u003c" is the same character to JSON).
std::string scriptData(const std::string& json)
{
    std::string out;
    out.reserve(json.size());
    for (char c : json)
        out += c == '<' ? std::string("\\u003c") : std::string(1, c);
    return out;
}

}

std::string FirstFrame::insert(std::string html, const std::string& tab, const std::string& markup, const std::string& state, const std::string& nonce)
{
    auto replace = [&](const std::string& marker, const std::string& by) {
        if (auto at = html.find(marker); at != std::string::npos)
            html.replace(at, marker.size(), by);
    };
    replace(kTabMarker, "<meta name=\"hushline-tab\" content=\"" + escapeMarkup(tab) + "\">");
    if (!markup.empty()) {
        replace(kFrameMarker,
            "<div id=\"first-frame\" class=\"first-frame\" inert>" + markup + "</div><script type=\"application/json\" id=\"first-state\">"
                + scriptData(state) + "</script><script nonce=\"" + escapeMarkup(nonce)
                + "\">if (sessionStorage.getItem('hushline.tab')) for (const id of ['first-frame', 'first-state']) document.getElementById(id).remove();</script>");
    }
    return html;
}
