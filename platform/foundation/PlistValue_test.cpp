#include "platform/foundation/PlistValue.h"

#include <gtest/gtest.h>

TEST(PlistValue, NumbersAndStringsConvertAsThePhoneConvertsThem)
{
    EXPECT_TRUE(PlistValue(2).boolValue());
    EXPECT_FALSE(PlistValue(0.0).boolValue());
    EXPECT_TRUE(PlistValue("  +007").boolValue());
    EXPECT_TRUE(PlistValue("Yes").boolValue());
    EXPECT_TRUE(PlistValue("true").boolValue());
    EXPECT_FALSE(PlistValue("000").boolValue());
    EXPECT_FALSE(PlistValue("no").boolValue());
    EXPECT_FALSE(PlistValue("").boolValue());

    EXPECT_EQ(PlistValue("  -42abc").longLongValue(), -42);
    EXPECT_EQ(PlistValue("abc").longLongValue(), 0);
    EXPECT_EQ(PlistValue("99999999999999999999").longLongValue(), INT64_MAX);
    EXPECT_EQ(PlistValue("99999999999").intValue(), INT32_MAX);
    EXPECT_EQ(PlistValue(3.9).longLongValue(), 3);
    EXPECT_EQ(PlistValue(true).longLongValue(), 1);
    EXPECT_FLOAT_EQ(PlistValue("0.25 dB").floatValue(), 0.25f);
}

TEST(PlistValue, OtherTypesConvertToZero)
{
    EXPECT_FALSE(PlistValue(PlistArray { 1 }).boolValue());
    EXPECT_EQ(PlistValue(PlistDictionary {}).longLongValue(), 0);
    EXPECT_EQ(PlistValue().doubleValue(), 0.0);
}

TEST(PlistValue, DictionaryLookUpOfMissingKeysGivesNoValue)
{
    PlistValue d(PlistDictionary { { "a", 1 } });
    EXPECT_EQ(*d["a"].asInteger(), 1);
    EXPECT_TRUE(d["b"].isNone());
    PlistValue number(5);
    EXPECT_TRUE(number["a"].isNone());
}

TEST(PlistValue, StringArraysAreRecognisedOnlyWhenEveryElementIsAString)
{
    EXPECT_EQ(*plistStringArray(PlistValue(std::vector<std::string> { "a", "b" })), (std::vector<std::string> { "a", "b" }));
    EXPECT_FALSE(plistStringArray(PlistValue(PlistArray { "a", 1 })));
    EXPECT_FALSE(plistStringArray(PlistValue("a")));
}

TEST(PlistValue, DescriptionShowsNestedValues)
{
    PlistValue d(PlistDictionary { { "title", "Work hours" }, { "list", PlistArray { "x" } } });
    EXPECT_EQ(d.description(), "{\n    list = (\n        x\n    );\n    title = \"Work hours\";\n}");
}
