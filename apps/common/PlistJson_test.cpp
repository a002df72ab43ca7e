#include "apps/common/PlistJson.h"

#include "platform/testsupport/DeviceFixture.h"

using nlohmann::json;

class PlistJsonTest : public DeviceFixture { };

TEST_F(PlistJsonTest, TheWholeScopeWritesEveryValueAndTheScalarScopeOnlyAControlsValue)
{
    PlistValue date { NSDate(localTime("2026-12-08T09:00:00")) };
    PlistValue data { PlistData { 0x00, 0xab, 0x10 } };
    PlistValue list { PlistArray { PlistValue(int64_t(1)), date } };
    EXPECT_EQ(plistToJson(date), "2026-12-08T09:00:00");
    EXPECT_EQ(plistToJson(data), "00ab10");
    EXPECT_EQ(plistToJson(list), json::parse(R"([1, "2026-12-08T09:00:00"])"));
    EXPECT_EQ(plistToJson(PlistDictionary { { "on", true } }), json::parse(R"({"on": true})"));
    for (const PlistValue& compound : { date, data, list, PlistValue(PlistDictionary {}) })
        EXPECT_TRUE(plistToJson(compound, PlistJsonScope::Scalar).is_null());
    for (auto scope : { PlistJsonScope::Whole, PlistJsonScope::Scalar }) {
        EXPECT_EQ(plistToJson(true, scope), true);
        EXPECT_EQ(plistToJson(int64_t(-3), scope), -3);
        EXPECT_TRUE(plistToJson(0.5, scope).is_number_float());
        EXPECT_EQ(plistToJson("text", scope), "text");
        EXPECT_TRUE(plistToJson(PlistValue(), scope).is_null());
    }
}

TEST(PlistJson, ReadsNumbersByTheirFormAndRefusesWhatHasNoPropertyListForm)
{
    for (auto scope : { PlistJsonScope::Whole, PlistJsonScope::Scalar }) {
        EXPECT_EQ(jsonToPlist(json(7), scope), PlistValue(int64_t(7)));
        EXPECT_EQ(jsonToPlist(json(7.0), scope), PlistValue(7.0));
        EXPECT_EQ(jsonToPlist(json(uint64_t(INT64_MAX)), scope), PlistValue(int64_t(INT64_MAX)));
        EXPECT_TRUE(jsonToPlist(json(uint64_t(INT64_MAX) + 1), scope)->asReal());
        EXPECT_EQ(jsonToPlist(json(false), scope), PlistValue(false));
        EXPECT_FALSE(jsonToPlist(json(), scope));
    }
    auto nested = json::parse(R"({"a": [1, "b", {"c": true}]})");
    EXPECT_EQ(jsonToPlist(nested),
        PlistValue(PlistDictionary { { "a", PlistArray { PlistValue(int64_t(1)), PlistValue("b"), PlistDictionary { { "c", true } } } } }));
    EXPECT_FALSE(jsonToPlist(nested, PlistJsonScope::Scalar));
    EXPECT_FALSE(jsonToPlist(json::array(), PlistJsonScope::Scalar));
    // A null anywhere inside has no place in a property list.
    EXPECT_FALSE(jsonToPlist(json::parse(R"({"a": [1, null]})")));
}
