#pragma once

#include <nlohmann/json.hpp>

#include <string>

// The first screen of a new tab as plain markup, written into the page as the host serves it,
// so that the browser paints the screen with the page's styles alone, before the page's scripts
// and Ionic's widgets have loaded; the page draws the live screen over it and then takes it
// away (page/app.js). Its classes are the page's own (style.css), laid out as Ionic lays out its
// iOS lists, so that the live screen takes its place without a shift.
//
// Only a list of switches, links and plain rows is drawn so; for any other screen (a pane, a
// slider, a text field, a two-line row) the markup is empty and the page shows the live screen
// alone.
class FirstFrame {
public:
    // The top screen of a navigation state as the host sends it (its "navigation" object).
    static std::string markup(const nlohmann::json& navigation);

    // The page (index.html) with the tab's id and, when there is markup, with the markup, the
    // tab's state (JSON, which the page draws without waiting for its event stream) and the
    // script that takes both away again when the tab has screens of its own already (a reload:
    // the host cannot know, the tab's session storage does). The script carries the nonce.
    static std::string insert(std::string html, const std::string& tab, const std::string& markup, const std::string& state, const std::string& nonce);

    // Where the page (index.html) takes the tab's id and the markup.
    static constexpr const char* kTabMarker = "<meta name=\"hushline-tab\" content=\"\">";
    static constexpr const char* kFrameMarker = "<div id=\"first-frame\" class=\"first-frame\" hidden></div>";
};
