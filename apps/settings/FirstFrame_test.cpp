#include "apps/settings/FirstFrame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using nlohmann::json;
using testing::HasSubstr;
using testing::Not;

namespace {

const char* kPattern = "/phone/Library/PreferenceBundles/HushlinePreferences.bundle/nav.png";

json row(const std::string& kind, const std::string& title, json extra = json::object())
{
    json out = { { "kind", kind }, { "title", title }, { "detail", "" }, { "accessory", "none" }, { "checked", false } };
    out.update(extra);
    return out;
}

// The root list as the host sends it: the tinted bar with the logo, the product's banner, the
// master switch, a profile, and the links with their icons.
json rootNavigation()
{
    json pattern = { { "alpha", 1.0 }, { "image", kPattern } };
    json seeThrough = { { "alpha", 0.5 }, { "image", kPattern } };
    json screen = { { "title", "" }, { "titleImage", "/phone/Library/PreferenceBundles/HushlinePreferences.bundle/logo.png" },
        { "titleFade", 1.0 }, { "left", json::array() },
        { "right", { { { "system", "add" }, { "enabled", true } }, { { "image", "/phone/Library/PreferenceBundles/HushlinePreferences.bundle/tweet.png" } } } },
        { "editing", false },
        { "groups",
            { { { "title", "" }, { "header", { { "title", "HushlineMe" }, { "subTitle", "Silence your iDevice" }, { "background", seeThrough } } },
                  { "rows", { row("switch", "Enabled", { { "value", true } }) } } },
                { { "title", "Active Profiles" },
                    { "rows", { row("link", "Profile", { { "detail", "8:00 AM - 5:00 PM" }, { "detailColor", pattern }, { "accessory", "disclosure" } }) } } },
                { { "title", "Inactive Profiles" }, { "rows", { row("static", "No Profiles") } } },
                { { "title", "" },
                    { "rows", { row("link", "Miscellaneous", { { "icon", "/phone/Library/PreferenceBundles/HushlinePreferences.bundle/Misc.png" }, { "accessory", "disclosure" } }) } } },
                { { "title", "Empty" }, { "rows", json::array() } } } } };
    return { { "bar", { { "barTint", pattern }, { "tint", { { "css", "rgba(255, 255, 255, 1)" } } } } }, { "screens", { screen } } };
}

}

TEST(FirstFrameTest, TheRootListIsDrawnWithItsBarGroupsAndRows)
{
    std::string markup = FirstFrame::markup(rootNavigation());
    EXPECT_THAT(markup, HasSubstr(std::string("<div class=\"ff-bar tinted\" style=\"background:url(&quot;") + kPattern + "&quot;) var(--app-tint)\">"));
    EXPECT_THAT(markup, HasSubstr("<img class=\"title-image\" style=\"animation-duration:1s\""));
    EXPECT_THAT(markup, HasSubstr("<span class=\"ff-button\"><img src=\"/phone/Library/PreferenceBundles/HushlinePreferences.bundle/tweet.png\" alt=\"\"></span>"
                                  "<span class=\"ff-button\"><span class=\"add-glyph\">+</span></span>"))
        << "the first right button is the outermost";
    EXPECT_THAT(markup, HasSubstr("<section class=\"group with-header\"><div class=\"package-header\""));
    EXPECT_THAT(markup, HasSubstr("var(--app-tint);opacity:0.85\"><h1>HushlineMe</h1><p>Silence your iDevice</p>"))
        << "a see-through banner keeps its white words readable";
    EXPECT_THAT(markup, HasSubstr("<span class=\"ff-label\">Enabled</span><span class=\"ff-toggle on\"></span>"));
    EXPECT_THAT(markup, HasSubstr("<div class=\"ff-list-header\">Active Profiles</div>"));
    EXPECT_THAT(markup, HasSubstr("<span class=\"ff-detail pattern-text\">8:00 AM - 5:00 PM</span><svg class=\"ff-chevron\""));
    EXPECT_THAT(markup, HasSubstr("<div class=\"ff-inner\"><span class=\"ff-label\">No Profiles</span></div>"));
    EXPECT_THAT(markup, HasSubstr("<img class=\"ff-icon\" src=\"/phone/Library/PreferenceBundles/HushlinePreferences.bundle/Misc.png\" alt=\"\">"));
    EXPECT_THAT(markup, Not(HasSubstr("Empty"))) << "a group with nothing in it is not drawn";

    json off = rootNavigation();
    off["screens"][0]["groups"][0]["rows"][0]["value"] = false;
    off["screens"][0].erase("titleFade");
    EXPECT_THAT(FirstFrame::markup(off), HasSubstr("<span class=\"ff-toggle\"></span>"));
    EXPECT_THAT(FirstFrame::markup(off), HasSubstr("<img class=\"title-image shown\"")) << "a logo without a fade is there at once";
}

TEST(FirstFrameTest, TextIsEscapedAndOnlyTheHostsOwnImagesAndPlainColoursAreWritten)
{
    json navigation = rootNavigation();
    auto& groups = navigation["screens"][0]["groups"];
    groups[2]["rows"][0]["title"] = "<script>alert('x')</script> & \"more\"";
    groups[1]["rows"][0]["detailColor"] = { { "css", "red;background:url(http://elsewhere/)" } };
    groups[3]["rows"][0]["icon"] = "/phone/a.png\" onerror=\"alert(1)";
    groups[0]["header"]["background"] = { { "image", "https://elsewhere/x.png" } };
    std::string markup = FirstFrame::markup(navigation);
    EXPECT_THAT(markup, HasSubstr("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;more&quot;"));
    EXPECT_THAT(markup, Not(HasSubstr("<script>")));
    EXPECT_THAT(markup, Not(HasSubstr("elsewhere")));
    EXPECT_THAT(markup, Not(HasSubstr("onerror")));
    EXPECT_THAT(markup, HasSubstr("<div class=\"package-header\"><h1>")) << "the banner keeps its words without the foreign image";
}

TEST(FirstFrameTest, ScreensItCannotDrawAsTheLiveOneWouldAreLeftToThePage)
{
    auto without = [](auto change) {
        json navigation = rootNavigation();
        change(navigation["screens"][0]);
        return FirstFrame::markup(navigation);
    };
    EXPECT_EQ(without([](json& screen) { screen["groups"][2]["rows"][0] = row("slider", "Ringer"); }), "");
    EXPECT_EQ(without([](json& screen) { screen["groups"][2]["rows"][0] = row("text", "Title"); }), "");
    EXPECT_EQ(without([](json& screen) { screen["groups"][2]["rows"][0]["checked"] = true; }), "") << "a list to choose from";
    EXPECT_EQ(without([](json& screen) { screen["pane"] = json::object(); }), "");
    EXPECT_EQ(without([](json& screen) { screen["editing"] = true; }), "");
    EXPECT_EQ(without([](json& screen) { screen["back"] = "Settings"; }), "") << "a screen deeper in the stack";
    EXPECT_EQ(without([](json& screen) { screen["groups"] = json::array(); }), "");

    json two = rootNavigation();
    two["screens"].push_back(two["screens"][0]);
    EXPECT_EQ(FirstFrame::markup(two), "");
    EXPECT_EQ(FirstFrame::markup(json::array()), "");
    EXPECT_EQ(FirstFrame::markup(json { { "screens", "none" } }), "");
}

TEST(FirstFrameTest, ThePageGetsTheTabAndTheMarkupWithTheScriptThatDropsItOnAReload)
{
    std::string page = std::string("<head>") + FirstFrame::kTabMarker + "</head><body>" + FirstFrame::kFrameMarker + "</body>";
    std::string filled = FirstFrame::insert(page, "tab-1", "<div>root</div>", R"({"title":"</script><!-- x"})", "abc123");
    EXPECT_EQ(filled, "<head><meta name=\"hushline-tab\" content=\"tab-1\"></head><body><div id=\"first-frame\" class=\"first-frame\" inert><div>root</div></div>"
                      "<script type=\"application/json\" id=\"first-state\">{\"title\":\"\\u003c/script>\\u003c!-- x\"}</script>"
                      "<script nonce=\"abc123\">if (sessionStorage.getItem('hushline.tab')) for (const id of ['first-frame', 'first-state']) "
                      "document.getElementById(id).remove();</script></body>");
    EXPECT_EQ(nlohmann::json::parse(R"({"title":"\u003c/script>"})")["title"], "</script>") << "the state reads as it was";
    EXPECT_EQ(FirstFrame::insert(page, "tab-2", "", "{}", "abc123"),
        std::string("<head><meta name=\"hushline-tab\" content=\"tab-2\"></head><body>") + FirstFrame::kFrameMarker + "</body>")
        << "without markup the frame stays hidden and no script is written";
}
