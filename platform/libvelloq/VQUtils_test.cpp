#include "platform/foundation/PropertyList.h"
#include "platform/libvelloq/VQUtils.h"
#include "platform/testsupport/DeviceFixture.h"
#include "platform/testsupport/PeerProcess.h"

#include <fstream>

class VQUtilsTest : public DeviceFixture {
protected:
    void setLanguage(const std::string& language) const
    {
        PropertyList::write(phonePath("/var/mobile/Library/Preferences/.GlobalPreferences.plist"),
            PlistValue(PlistDictionary { { "AppleLanguages", PlistArray { language } } }));
    }
};

TEST_F(VQUtilsTest, TheSystemsOwnWordsFollowTheFirstLanguage)
{
    EXPECT_EQ(VQUtils::localizedLabelFromUIKit("Close"), "Close");
    setLanguage("de-DE");
    EXPECT_EQ(VQUtils::localizedLabelFromUIKit("Close"), "Schließen");
    EXPECT_EQ(VQUtils::localizedLabelFromUIKit("Error"), "Fehler");
    EXPECT_EQ(VQUtils::localizedLabelFromUIKit("Unknown word"), "Unknown word");
    setLanguage("zh-Hans");
    EXPECT_EQ(VQUtils::localizedLabelFromUIKit("Cancel"), "取消");
    EXPECT_EQ(VQUtils::platform(), "iPhone12,1");
}

TEST_F(VQUtilsTest, OnlyTheHomeScreenIsEndedAndOnlyWhileItRuns)
{
    EXPECT_FALSE(VQUtils::killProcessByName("SpringBoard"));
    PeerProcess springBoard("/bin/sleep", { "60" });
    std::filesystem::create_directories(phonePath("/var/run"));
    std::ofstream(phonePath("/var/run/springboard.launched")) << springBoard.pid() << "\n";
    EXPECT_FALSE(VQUtils::killProcessByName("Preferences"));
    EXPECT_FALSE(springBoard.waitForExit(0.2));
    EXPECT_TRUE(VQUtils::killProcessByName("SpringBoard"));
    EXPECT_TRUE(springBoard.waitForExit(10));
}
