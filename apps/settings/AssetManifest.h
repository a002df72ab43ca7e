#pragma once

#include <map>
#include <string>
#include <string_view>

// The names the page's build gave its bundles. bundle/build.mjs names each bundle after a hash of
// its content (ionic.3f9c0a1b2d4e.css) and writes page/dist/manifest.json, which maps the plain
// address the page is written with to the hashed one. A browser may keep a hashed file for good:
// new content comes under a new name.
class AssetManifest {
public:
    // The manifest's JSON; a text that is not one maps nothing.
    explicit AssetManifest(std::string_view json);

    // The page's HTML with every double-quoted plain address ("/page/dist/ionic.css") replaced
    // by its hashed one.
    std::string rewrite(std::string html) const;

    // Whether a file's name holds a content hash as the build writes it: name.<12 hex digits>.ext.
    static bool isContentHashed(std::string_view fileName);

private:
    std::map<std::string, std::string> m_hashed;
};
