#include "apps/springboard/OpenStepPlist.h"
#include "apps/springboard/SubstrateLoader.h"

#include "platform/testsupport/DeviceFixture.h"

#include <fstream>

namespace {

class SubstrateLoaderTest : public DeviceFixture {
protected:
    std::filesystem::path folder() const { return phonePath(SubstrateLoader::kFolder); }

    void library(const std::string& name, const std::optional<std::string>& filter)
    {
        std::filesystem::create_directories(folder());
        std::ofstream(folder() / (name + ".dylib")) << "ELF";
        if (filter)
            std::ofstream(folder() / (name + ".plist")) << *filter;
    }
};

}

TEST_F(SubstrateLoaderTest, OnlyLibrariesWhoseFilterNamesTheBundleAreLoadedInNameOrder)
{
    library("Zeta", "{ Filter = { Bundles = ( \"com.apple.springboard\" ); }; }");
    library("Alpha", "{Filter={Bundles=(com.apple.Preferences,com.apple.springboard,);};}");
    library("Settings", "{ Filter = { Bundles = ( \"com.apple.Preferences\" ); }; }");
    library("libhushline", std::nullopt);
    library("Executables", "{ Filter = { Executables = ( SpringBoard ); }; }");
    library("Broken", "{ Filter = { Bundles = ( \"com.apple.springboard\" ");
    library("Xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Filter</key><dict><key>Bundles</key><array><string>com.apple.springboard</string></array></dict></dict></plist>)");
    std::ofstream(folder() / "notes.plist") << "{ Filter = { Bundles = ( com.apple.springboard ); }; }";

    auto libraries = SubstrateLoader::librariesForBundle(folder(), "com.apple.springboard");
    ASSERT_EQ(libraries.size(), 3u);
    EXPECT_EQ(libraries[0].filename(), "Alpha.dylib");
    EXPECT_EQ(libraries[1].filename(), "Xml.dylib");
    EXPECT_EQ(libraries[2].filename(), "Zeta.dylib");
    EXPECT_EQ(logCount("Broken.plist"), 1u);
    EXPECT_EQ(SubstrateLoader::librariesForBundle(folder(), "com.apple.Preferences").size(), 2u);
    EXPECT_TRUE(SubstrateLoader::librariesForBundle(phonePath("/nowhere"), "com.apple.springboard").empty());
}

TEST_F(SubstrateLoaderTest, ALibraryThatCannotBeLoadedIsSkippedWithALogLine)
{
    library("NotReallyALibrary", "{ Filter = { Bundles = ( com.apple.springboard ); }; }");
    EXPECT_EQ(SubstrateLoader::loadLibraries("com.apple.springboard"), 0u);
    EXPECT_EQ(logCount("cannot load"), 1u);
}

TEST(OpenStepPlist, ReadsTheFilterFormWithCommentsEscapesAndNesting)
{
    auto value = parseOpenStepPlist(R"(// the plug-in's filter
        { Filter = { Bundles = ( "com.apple.springboard", "with \"quote\"" ); /* old */ Mode = Any };
          Empty = (); Nested = { a = { b = c; }; }; })");
    ASSERT_TRUE(value);
    EXPECT_EQ((*value)["Filter"]["Bundles"], PlistValue(std::vector<std::string> { "com.apple.springboard", "with \"quote\"" }));
    EXPECT_EQ((*value)["Filter"]["Mode"], PlistValue("Any"));
    EXPECT_EQ((*value)["Empty"], PlistValue(PlistArray {}));
    EXPECT_EQ((*value)["Nested"]["a"]["b"], PlistValue("c"));
}

TEST(OpenStepPlist, RefusesMalformedText)
{
    std::string error;
    for (const char* text : { "", "{ a = b", "{ a b; }", "( a b )", "{ a = \"open; }", "{ a = b; a = c; }", "{ a = b; } trailing", "{ = b; }" }) {
        error.clear();
        EXPECT_FALSE(parseOpenStepPlist(text, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    EXPECT_FALSE(parseOpenStepPlist(std::string(1000, '(')));
}
