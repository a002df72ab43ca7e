#include "platform/foundation/NSUserDefaults.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/testsupport/DeviceFixture.h"

class NSUserDefaultsTest : public DeviceFixture { };

TEST_F(NSUserDefaultsTest, StandardDefaultsLiveInTheMainBundlesDomainFile)
{
    NSBundle::setMainBundleIdentifier("com.apple.springboard");
    auto& defaults = NSUserDefaults::standardUserDefaults();
    defaults.setFloat(0.25f, "com.velloq.hushline-ringer");
    defaults.setBool(true, "flag");
    auto file = PropertyList::read(phonePath("/var/mobile/Library/Preferences/com.apple.springboard.plist"));
    ASSERT_TRUE(file);
    EXPECT_EQ((*file)["com.velloq.hushline-ringer"].floatValue(), 0.25f);
    EXPECT_TRUE(defaults.boolForKey("flag"));

    defaults.removeObjectForKey("flag");
    EXPECT_TRUE(defaults.objectForKey("flag").isNone());
    EXPECT_EQ(defaults.floatForKey("com.velloq.hushline-ringer"), 0.25f);
}

TEST_F(NSUserDefaultsTest, PersistentDomainsAreWholeDictionaries)
{
    auto& defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_FALSE(defaults.persistentDomainForName("com.apple.other"));
    ASSERT_TRUE(defaults.setPersistentDomain({ { "ring-vibrate", true }, { "silent-vibrate", false } }, "com.apple.other"));
    auto domain = defaults.persistentDomainForName("com.apple.other");
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->size(), 2u);
    defaults.removePersistentDomainForName("com.apple.other");
    EXPECT_FALSE(defaults.persistentDomainForName("com.apple.other"));
}
