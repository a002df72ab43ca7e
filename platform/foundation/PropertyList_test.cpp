#include "platform/foundation/PropertyList.h"

#include "platform/testsupport/DeviceFixture.h"

#include <fstream>
#include <random>

namespace {

PlistValue sample()
{
    PlistDictionary d;
    d["flag"] = true;
    d["negative"] = int64_t(-5);
    d["large"] = int64_t(9000000000LL);
    d["volume"] = static_cast<double>(0.3f);
    d["when"] = NSDate(1700000000.0);
    d["text"] = "a<b&c \"quoted\"";
    d["bytes"] = PlistData { 0, 1, 255 };
    d["list"] = PlistValue(std::vector<std::string> { "Home", "Office" });
    d["nested"] = PlistArray { PlistDictionary { { "k", 1 } }, PlistArray {} };
    return PlistValue(d);
}

class PropertyListFile : public DeviceFixture { };

}

TEST(PropertyList, EveryTypeSurvivesBothEncodings)
{
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        auto bytes = PropertyList::serialize(sample(), format);
        ASSERT_TRUE(bytes);
        auto back = PropertyList::parse(*bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, sample());
        EXPECT_EQ(*(*back)["volume"].asReal(), 0.30000001192092896);
    }
}

TEST(PropertyList, ValuesWithoutFileFormAreRefused)
{
    std::string error;
    EXPECT_FALSE(PropertyList::serialize(PlistValue(), PropertyList::Format::XML, &error));
    PlistDictionary withObject { { "profile", PlistValue(std::make_shared<NSObject>()) } };
    EXPECT_FALSE(PropertyList::serialize(PlistValue(withObject), PropertyList::Format::Binary, &error));
    EXPECT_FALSE(error.empty());
}

TEST(PropertyList, ACutOffFileNeverReadsAsPartOfItsContent)
{
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        std::string bytes = *PropertyList::serialize(sample(), format);
        for (size_t length = 0; length < bytes.size(); ++length) {
            auto value = PropertyList::parse(std::string_view(bytes).substr(0, length));
            // Only the closing tags of an XML file may go missing with the content still whole.
            if (value) {
                EXPECT_EQ(*value, sample()) << "cut at " << length << " of " << bytes.size();
            }
        }
    }
}

TEST(PropertyList, GarbledBytesNeverCrashTheReader)
{
    std::mt19937 random(7);
    for (auto format : { PropertyList::Format::XML, PropertyList::Format::Binary }) {
        const std::string original = *PropertyList::serialize(sample(), format);
        for (int round = 0; round < 400; ++round) {
            std::string bytes = original;
            for (int flips = 1 + round % 4; flips > 0; --flips)
                bytes[random() % bytes.size()] = static_cast<char>(random());
            PropertyList::parse(bytes);
        }
    }
    EXPECT_FALSE(PropertyList::parse(std::string(100, '\xff')));
    EXPECT_FALSE(PropertyList::parse("bplist00"));
}

TEST_F(PropertyListFile, WriteReplacesAtomicallyAndLeavesNoTemporaryFile)
{
    auto path = m_root / "var/mobile/Library/Preferences/test.plist";
    ASSERT_TRUE(PropertyList::write(path, PlistValue(PlistArray { 1, 2 })));
    ASSERT_TRUE(PropertyList::write(path, sample(), PropertyList::Format::Binary));
    EXPECT_EQ(*PropertyList::read(path), sample());
    size_t files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(path.parent_path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(PropertyListFile, AFailedWriteKeepsTheOldFileAndSaysWhy)
{
    auto folder = m_root / "blocked";
    std::filesystem::create_directories(folder);
    auto path = folder / "a.plist";
    ASSERT_TRUE(PropertyList::write(path, PlistValue(PlistArray { 1 })));
    // A file where the folder of the target should be makes every write fail, even as root.
    auto impossible = m_root / "blocked/a.plist/inner.plist";
    std::string error;
    EXPECT_FALSE(PropertyList::write(impossible, sample(), PropertyList::Format::XML, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(*PropertyList::read(path), PlistValue(PlistArray { 1 }));
}

TEST_F(PropertyListFile, MissingAndMalformedFilesReadAsNothing)
{
    EXPECT_FALSE(PropertyList::read(m_root / "missing.plist"));
    std::ofstream(m_root / "bad.plist") << "<plist><array><integer>1</integ";
    EXPECT_FALSE(PropertyList::read(m_root / "bad.plist"));
    std::ofstream(m_root / "empty.plist");
    EXPECT_FALSE(PropertyList::read(m_root / "empty.plist"));
}

TEST(PropertyList, AStringEndsAtItsFirstNulBothWays)
{
    PlistValue withNul(std::string("work/me\0tings", 13));
    auto binary = PropertyList::serialize(PlistValue(PlistArray { withNul }), PropertyList::Format::Binary);
    ASSERT_TRUE(binary);
    auto read = PropertyList::parse(*binary);
    ASSERT_TRUE(read);
    EXPECT_EQ(*(*read->asArray())[0].asString(), "work/me");
    auto xml = PropertyList::serialize(*read, PropertyList::Format::XML);
    EXPECT_EQ(*PropertyList::parse(*xml), *read);
}
