#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A file of the page as the host serves it: its bytes, their gzip form, and an entity tag for each.
struct Asset {
    std::string bytes;
    // Empty when compressing saves too little to be worth the client's work (an image).
    std::string gzipped;
    std::string entityTag;
    std::string gzippedEntityTag;
};

// The served files, each read and compressed once and kept until it changes on disk. The page's
// scripts and styles are edited while a host runs, so a file's time and size are checked at every
// request; the compression runs again only for a file that changed.
class AssetCache {
public:
    using Make = std::function<std::optional<std::string>()>;

    // A file's asset, or null when it is not a readable regular file.
    std::shared_ptr<const Asset> file(const std::filesystem::path&);
    // The asset `make` makes from the sources (null when it makes nothing), kept under the key
    // until one of the sources changes, appears or goes.
    std::shared_ptr<const Asset> made(const std::string& key, const std::vector<std::filesystem::path>& sources, const Make& make);

private:
    struct Entry {
        std::string stamp;
        std::shared_ptr<const Asset> asset;
    };

    std::map<std::string, Entry> m_entries;
};
