#include "apps/settings/InlineStyles.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::string inlined(const std::string& html, const std::map<std::string, std::string>& files)
{
    return InlineStyles::apply(html, [&](const std::string& address) -> std::optional<std::string> {
        auto it = files.find(address);
        return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
}

}

TEST(InlineStylesTest, ThePagesOwnStylesheetsComeInsideIt)
{
    std::string page = R"(<head><link rel="stylesheet" href="/page/dist/ionic.0123456789ab.css"><link rel="stylesheet" href="/page/style.css"></head>)";
    EXPECT_EQ(inlined(page, { { "/page/dist/ionic.0123456789ab.css", "ion-app{display:block}" }, { "/page/style.css", ".a > .b{color:red}" } }),
        "<head><style>ion-app{display:block}</style><style>.a > .b{color:red}</style></head>");
}

TEST(InlineStylesTest, WhatCannotStandInsideStaysALink)
{
    std::string missing = R"(<link rel="stylesheet" href="/page/gone.css">)";
    EXPECT_EQ(inlined(missing, {}), missing) << "a file that cannot be read";
    std::string foreign = R"(<link rel="stylesheet" href="https://elsewhere/x.css">)";
    EXPECT_EQ(inlined(foreign, { { "https://elsewhere/x.css", "p{}" } }), foreign) << "not one of the page's files";
    std::string climbing = R"(<link rel="stylesheet" href="/page/../secret.css">)";
    EXPECT_EQ(inlined(climbing, { { "/page/../secret.css", "p{}" } }), climbing);
    std::string ending = R"(<link rel="stylesheet" href="/page/style.css">)";
    EXPECT_EQ(inlined(ending, { { "/page/style.css", "p{content:'</style><script>'}" } }), ending) << "text that would end the element";
    EXPECT_EQ(inlined(ending, { { "/page/style.css", "<!-- p{}" } }), ending);
}
