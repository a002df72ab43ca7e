#include "apps/settings/PreferenceBundleLoader.h"

#include "platform/machinery/DeviceRoot.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PropertyList.h"
#include "platform/preferences/PSListController.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/testsupport/DeviceFixture.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

class PreferenceBundleLoaderTest : public DeviceFixture {
protected:
    void TearDown() override
    {
        NSRunLoop::main().reset();
        DeviceFixture::TearDown();
    }
    std::string failureOf(const std::string& bundle)
    {
        try {
            PreferenceBundleLoader::loadRootController(bundle);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return {};
    }
    const std::string m_bundle = "/Library/PreferenceBundles/HushlinePreferences.bundle";
};

TEST_F(PreferenceBundleLoaderTest, TheBundlesBinaryIsLoadedAndItsPrincipalClassIsTheFirstScreen)
{
    installSettingsBundle();
    std::filesystem::copy_file(HUSHLINE_PREFERENCES_BINARY, phonePath(m_bundle + "/HushlinePreferences"));
    auto root = PreferenceBundleLoader::loadRootController(m_bundle);
    ASSERT_TRUE(root);
    EXPECT_EQ(NSClassFromString("HushlinePreferencesController")->isInstance(*root), true);
    EXPECT_TRUE(NSClassFromString("HLSwitchCell"));
    ASSERT_GE(root->specifiers().size(), 2u);
    EXPECT_EQ(root->specifiers()[1]->identifier(), "com.velloq.hushline.enabled");
}

TEST_F(PreferenceBundleLoaderTest, AMissingPieceIsNamed)
{
    EXPECT_THAT(failureOf(m_bundle), HasSubstr("no Info.plist"));
    installSettingsBundle();
    EXPECT_THAT(failureOf(m_bundle), HasSubstr("cannot load the bundle's binary"));
    PropertyList::write(phonePath(m_bundle + "/Info.plist"), PlistValue(PlistDictionary { { "CFBundleExecutable", "HushlinePreferences" } }));
    EXPECT_THAT(failureOf(m_bundle), HasSubstr("names no CFBundleExecutable or NSPrincipalClass"));
}
