#include "platform/foundation/NSBundle.h"

#include "platform/foundation/PropertyList.h"
#include "platform/testsupport/DeviceFixture.h"

class NSBundleTest : public DeviceFixture { };

TEST_F(NSBundleTest, LooksUpTheUsersLanguageThenEnglishThenShowsTheKey)
{
    auto folder = phonePath("/Library/PreferenceBundles/Test.bundle");
    ASSERT_TRUE(PropertyList::write(folder / "en.lproj/Localizable.strings", PlistValue(PlistDictionary { { "Profile", "Profile" }, { "Only English", "Only English" } })));
    ASSERT_TRUE(PropertyList::write(folder / "de.lproj/Localizable.strings", PlistValue(PlistDictionary { { "Profile", "Profil" } })));

    auto bundle = NSBundle::bundleWithPath("/Library/PreferenceBundles/Test.bundle");
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->localizedStringForKey("Profile"), "Profile");

    ASSERT_TRUE(PropertyList::write(phonePath("/var/mobile/Library/Preferences/.GlobalPreferences.plist"),
        PlistValue(PlistDictionary { { "AppleLanguages", PlistArray { "de" } } })));
    EXPECT_EQ(bundle->localizedStringForKey("Profile"), "Profil");
    EXPECT_EQ(bundle->localizedStringForKey("Only English"), "Only English");
    EXPECT_EQ(bundle->localizedStringForKey("Unknown key"), "Unknown key");
}

TEST_F(NSBundleTest, AMissingFolderIsNoBundle)
{
    EXPECT_FALSE(NSBundle::bundleWithPath("/Library/PreferenceBundles/Missing.bundle"));
}

TEST_F(NSBundleTest, TheSettingsBundleIsInstalledWithItsEnglishTable)
{
    installSettingsBundle();
    auto bundle = NSBundle::bundleWithPath("/Library/PreferenceBundles/HushlinePreferences.bundle");
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->bundleIdentifier(), "com.velloq.hushline.preferences");
    EXPECT_EQ(bundle->localizedStringForKey("Unable to add profile."), "Unable to add profile.");
}
