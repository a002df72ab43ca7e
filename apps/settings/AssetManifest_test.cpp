#include "apps/settings/AssetManifest.h"

#include <gtest/gtest.h>

TEST(AssetManifest, ANameHoldsAHashOnlyAsTheBuildWritesIt)
{
    for (const char* name : { "ionic.0123456789ab.js", "ionic-more.abcdef012345.css", "a.b.0123456789ab.js" })
        EXPECT_TRUE(AssetManifest::isContentHashed(name)) << name;
    for (const char* name : { "ionic.js", "app.js", ".0123456789ab.js", "ionic.0123456789AB.js", "ionic.0123456789a.js",
             "ionic.0123456789abc.js", "ionic0123456789ab.js", "ionic.0123456789ab", "0123456789abcdef" })
        EXPECT_FALSE(AssetManifest::isContentHashed(name)) << name;
}

TEST(AssetManifest, OnlyWholeQuotedAddressesAreRenamed)
{
    AssetManifest manifest(R"({"/page/dist/ionic.js": "/page/dist/ionic.0123456789ab.js", "/page/dist/x.css": 3})");
    EXPECT_EQ(manifest.rewrite(R"(<script src="/page/dist/ionic.js"></script><script src="/page/dist/ionic.js"></script>)"),
        R"(<script src="/page/dist/ionic.0123456789ab.js"></script><script src="/page/dist/ionic.0123456789ab.js"></script>)");
    for (const char* untouched : { R"("/page/dist/ionic.jsx")", R"("/x/page/dist/ionic.js")", "/page/dist/ionic.js", R"("/page/dist/x.css")" })
        EXPECT_EQ(manifest.rewrite(untouched), untouched);
    EXPECT_EQ(AssetManifest("not json").rewrite(R"("/page/dist/ionic.js")"), R"("/page/dist/ionic.js")");
}
