#include "platform/session/evolution/SourceColor.h"

#include <gtest/gtest.h>

TEST(SourceColorTest, ColoursOfEveryWriterReadAsTheCalendarsColour)
{
    EXPECT_EQ(sourceColorHex("#becedd"), "#BECEDD");
    EXPECT_EQ(sourceColorHex("#BECEDD80"), "#BECEDD");
    EXPECT_EQ(sourceColorHex("#fa0"), "#FFAA00");
    EXPECT_EQ(sourceColorHex("#ffff00008080"), "#FF0080");
    EXPECT_EQ(sourceColorHex("rgb(98,160,234)"), "#62A0EA");
    EXPECT_EQ(sourceColorHex(" rgba(98, 160, 234, 0.5)"), "#62A0EA");
    for (const char* none : { "", "blue", "#12345", "rgb(1,2)", "rgb(a,b,c)", "#ggg" })
        EXPECT_EQ(sourceColorHex(none), std::nullopt) << none;
}
