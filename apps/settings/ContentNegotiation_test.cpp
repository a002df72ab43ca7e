#include "apps/settings/ContentNegotiation.h"

#include <gtest/gtest.h>

TEST(ContentNegotiation, GzipIsTakenWhenNamedOrCoveredByAStarWithAQualityAboveZero)
{
    struct Case {
        std::optional<std::string> header;
        bool takes;
    };
    for (const auto& [header, takes] : std::initializer_list<Case> {
             { std::nullopt, false }, { "", false }, { "identity", false }, { "br, deflate", false }, { "gzipped", false },
             { "gzip", true }, { "GZip", true }, { "deflate , gzip ;q=0.5", true }, { "br;q=1.0, gzip;q=0.001", true },
             { "gzip;q=0", false }, { "gzip; q=0.000", false }, { "*", true }, { "*;q=0", false }, { "*, gzip;q=0", false },
             { "gzip;q=0, *", false }, { "*;q=0, gzip", true } })
        EXPECT_EQ(acceptsCoding(header, "gzip"), takes) << header.value_or("(none)");
}

TEST(ContentNegotiation, IfNoneMatchNamesTheTagAmongOthersWeaklyOrByAStar)
{
    const std::string tag = "\"0123abcd\"";
    EXPECT_FALSE(matchesEntityTag(std::nullopt, tag));
    EXPECT_FALSE(matchesEntityTag("", tag));
    EXPECT_FALSE(matchesEntityTag("\"0123abc\"", tag));
    EXPECT_FALSE(matchesEntityTag("0123abcd", tag));
    EXPECT_TRUE(matchesEntityTag(tag, tag));
    EXPECT_TRUE(matchesEntityTag("W/" + tag, tag));
    EXPECT_TRUE(matchesEntityTag("\"other\",  " + tag + " ,\"third\"", tag));
    EXPECT_TRUE(matchesEntityTag("*", tag));
}
