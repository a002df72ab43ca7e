#include "platform/foundation/PropertyListMemory.h"

#include "platform/foundation/PropertyList.h"
#include "platform/machinery/AtomicFile.h"
#include "platform/testsupport/DeviceFixture.h"

namespace {

class PropertyListMemoryTest : public DeviceFixture {
protected:
    void TearDown() override
    {
        PropertyListMemory::setEnabled(false);
        DeviceFixture::TearDown();
    }

    std::string onDisk(const std::filesystem::path& path) const
    {
        std::string bytes;
        return readFile(path, bytes) ? bytes : "(none)";
    }

    static double number(const std::filesystem::path& path, const std::string& key)
    {
        auto value = PropertyList::read(path);
        return value ? (*value)[key].doubleValue() : -1;
    }

    std::filesystem::path m_file { phonePath("/var/mobile/Library/Preferences/com.apple.celestial.plist") };
};

TEST_F(PropertyListMemoryTest, AProcessWhoseFilesAreItsOwnReadsEachFileOnceAndWritesOnlyToMemory)
{
    ASSERT_TRUE(PropertyList::write(m_file, PlistValue(PlistDictionary { { "RingerVolume", 0.5 } })));
    std::string before = onDisk(m_file);
    PropertyListMemory::setEnabled(true);

    EXPECT_EQ(number(m_file, "RingerVolume"), 0.5);
    // A value reads back as the written file would give it: a float volume as its double.
    ASSERT_TRUE(PropertyList::write(m_file, PlistValue(PlistDictionary { { "RingerVolume", static_cast<double>(0.3f) } })));
    EXPECT_EQ(number(m_file, "RingerVolume"), 0.30000001192092896);
    EXPECT_EQ(number(m_file.parent_path() / "." / m_file.filename(), "RingerVolume"), 0.30000001192092896)
        << "one file, however its path is spelled";
    EXPECT_EQ(onDisk(m_file), before) << "the disk is left alone";

    // A missing file stays missing, with its reason, until the process writes it.
    auto missing = phonePath("/var/mobile/Library/BulletinBoard/BehaviorOverrides.plist");
    std::string error;
    EXPECT_FALSE(PropertyList::read(missing, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    std::error_code existence;
    EXPECT_FALSE(PropertyList::exists(missing, existence));
    ASSERT_TRUE(PropertyList::write(missing, PlistValue(PlistDictionary { { "overrideStatus", 1 } })));
    EXPECT_TRUE(PropertyList::exists(missing, existence)) << "a file written in memory exists for the process";
    EXPECT_TRUE(PropertyList::exists(m_file, existence));
    EXPECT_EQ(number(missing, "overrideStatus"), 1);
    EXPECT_FALSE(std::filesystem::exists(missing));
    // A value no file can hold is refused as before.
    EXPECT_FALSE(PropertyList::write(missing, PlistValue()));
    EXPECT_EQ(number(missing, "overrideStatus"), 1);

    // Switched off, the process reads and writes the disk again.
    PropertyListMemory::setEnabled(false);
    EXPECT_EQ(number(m_file, "RingerVolume"), 0.5);
    EXPECT_FALSE(PropertyList::read(missing));
    EXPECT_FALSE(PropertyList::exists(missing, existence));
}

}
