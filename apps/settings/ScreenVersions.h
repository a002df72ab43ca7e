#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class UIViewController;

// The version of each screen's rows as the page sees them: it moves on whenever a row is
// inserted, removed or replaced by another (a different identifier, label or kind at a place),
// and stays while the same rows are drawn again. A tap names the version of the screen it was
// aimed at, so that a tap on a screen that changed since is refused rather than landing on
// whatever row now has the index tapped.
class ScreenVersions {
public:
    uint64_t versionOf(const std::shared_ptr<UIViewController>&);
    // Forgets screens that are gone.
    void forgetGone();

private:
    struct Entry {
        std::weak_ptr<UIViewController> controller;
        std::string rows;
        uint64_t version { 1 };
    };
    std::map<const UIViewController*, Entry> m_entries;
};
