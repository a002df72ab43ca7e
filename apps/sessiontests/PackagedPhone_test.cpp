// The phone of an unpacked package (HUSHLINE_TEST_PHONECTL names its phonectl) in a private
// session: a meeting silences the session and gives it back, and every file of Hushline that the
// home screen has open lies in the package. Skipped for the build's own phonectl, which the
// other session tests run.
#include "apps/sessiontests/PhoneSessionFixture.h"

#include "platform/machinery/AtomicFile.h"

#include <cstdlib>
#include <sstream>

using namespace PhoneSessionFixtures;

namespace {

// Hushline's own programs and libraries mapped into a process.
std::vector<std::string> hushlineFilesMappedBy(const std::string& pid)
{
    std::string maps;
    readFile("/proc/" + pid + "/maps", maps);
    std::vector<std::string> files;
    std::istringstream lines(maps);
    for (std::string line; std::getline(lines, line);) {
        auto path = line.find('/');
        if (path == std::string::npos)
            continue;
        std::string file = line.substr(path);
        std::string name = std::filesystem::path(file).filename();
        bool ours = name == "SpringBoard" || name == "libhlplatform.so" || name.ends_with(".dylib");
        if (ours && (files.empty() || files.back() != file))
            files.push_back(file);
    }
    return files;
}

}

class PackagedPhoneTest : public PhoneSessionTest {
protected:
    void SetUp() override
    {
        const char* phonectl = std::getenv("HUSHLINE_TEST_PHONECTL");
        if (!phonectl || !*phonectl)
            GTEST_SKIP() << "HUSHLINE_TEST_PHONECTL names no unpacked package's phonectl";
        m_package = std::filesystem::path(phonectl).parent_path().parent_path().parent_path();
        PhoneSessionTest::SetUp();
    }

    std::filesystem::path m_package;
};

TEST_F(PackagedPhoneTest, AMeetingQuietensTheSessionAndGivesItBackFromThePackagesOwnFiles)
{
    addEvent("Work", "Meeting", "09:00", "10:00");
    ownerHas(24248, "45875 32768");
    bootLinked();
    ok({ "clock", "advance", "305" });
    ASSERT_TRUE(eventually([&] { return sinkVolume() == "0 0"; })) << hostOutput();
    EXPECT_LT(eventRole(), 24248U) << "the profile's ringer";

    std::string launched;
    readFile(m_root / "var/run/springboard.launched", launched);
    auto files = hushlineFilesMappedBy(launched.substr(0, launched.find('\n')));
    EXPECT_GE(files.size(), 4U) << "the home screen, the frameworks, the core library and the plug-in";
    for (const auto& file : files)
        EXPECT_TRUE(file.starts_with(m_package.string() + "/")) << file << " lies outside the package";

    ok({ "clock", "advance", "3600" });
    EXPECT_TRUE(eventually([&] { return sinkVolume() == "45875 32768"; })) << hostOutput();
    EXPECT_EQ(eventRole(), 24248U);
}
