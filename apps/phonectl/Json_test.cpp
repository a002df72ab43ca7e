#include "apps/common/LocalTime.h"
#include "apps/phonectl/Json.h"

#include "platform/testsupport/DeviceFixture.h"

TEST(Json, WritesThePhonesStateAndReadsItBack)
{
    PlistDictionary state { { "ringerVolume", 0.0625 }, { "locked", false }, { "title", "Tab\t\"q\"" }, { "count", int64_t(-3) },
        { "items", PlistArray { PlistValue(int64_t(1)), PlistValue(1.0) } }, { "empty", PlistDictionary {} } };
    std::string text = toJson(state);
    EXPECT_NE(text.find("\"ringerVolume\": 0.0625"), std::string::npos);
    EXPECT_NE(text.find("\"title\": \"Tab\\t\\\"q\\\"\""), std::string::npos);
    auto back = parseJson(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, PlistValue(state));
    EXPECT_EQ(toJson(PlistValue(), false), "null");
}

TEST(Json, ReadsUnicodeEscapesAndRefusesMalformedInput)
{
    auto text = parseJson(R"({"a": "\u00e9\ud83d\ude00", "big": 1e3, "huge": 123456789012345678901})");
    ASSERT_TRUE(text);
    EXPECT_EQ((*text)["a"], PlistValue("\xc3\xa9\xf0\x9f\x98\x80"));
    EXPECT_EQ((*text)["big"], PlistValue(1000.0));
    EXPECT_TRUE((*text)["huge"].asReal());
    std::string error;
    for (const char* bad : { "", "{", "{\"a\": null}", "{\"a\": 1, \"a\": 2}", "[1,]", "{'a': 1}", "01", "\"\\ud800\"", "\"a\nb\"",
             "[1] x", "1e999", "tru" }) {
        error.clear();
        EXPECT_FALSE(parseJson(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_FALSE(parseJson(std::string(100, '[') + std::string(100, ']')));
}

class LocalTimeTest : public DeviceFixture { };

TEST_F(LocalTimeTest, ReadsAndWritesLocalTimesAndRefusesImpossibleOnes)
{
    EXPECT_EQ(parseLocalTime("2026-12-08T09:00:00")->timeIntervalSince1970(), localTime("2026-12-08T09:00:00"));
    EXPECT_EQ(parseLocalTime("2026-12-08T09:00")->timeIntervalSince1970(), localTime("2026-12-08T09:00:00"));
    EXPECT_EQ(parseLocalTime("2026-12-08")->timeIntervalSince1970(), localTime("2026-12-08T00:00:00"));
    for (const char* bad : { "2026-02-30T09:00:00", "2026-12-08T24:00:00", "2026-12-08 09:00:00", "tomorrow", "2026-12-08T09:00:00Z", "" })
        EXPECT_FALSE(parseLocalTime(bad)) << bad;
    EXPECT_EQ(formatLocalTime(NSDate(localTime("2026-12-08T09:00:02"))), "2026-12-08T09:00:02");
    EXPECT_EQ(formatLocalTime(NSDate(localTime("2026-12-08T09:00:01") + 0.8)), "2026-12-08T09:00:01.800");
}
