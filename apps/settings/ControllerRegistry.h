#pragma once

#include "apps/settings/ScreenVersions.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class UIViewController;

// Names the screens the page sees ("s1", "s2", ... by default) so that a tap sent back names the screen
// it was made on. A screen keeps its name while it lives; names of gone screens are forgotten.
class ControllerRegistry {
public:
    // Names begin with the prefix: a host gives its own, so that a page that meets a new host
    // never takes one of its screens for a screen of the host before.
    explicit ControllerRegistry(std::string prefix = "s") : m_prefix(std::move(prefix)) { }

    std::string nameOf(const std::shared_ptr<UIViewController>&);
    std::shared_ptr<UIViewController> controllerNamed(const std::string& name);
    void forgetGone();
    // The version of a screen's rows (ScreenVersions).
    uint64_t versionOf(const std::shared_ptr<UIViewController>& controller) { return m_versions.versionOf(controller); }

private:
    struct Entry {
        std::string name;
        std::weak_ptr<UIViewController> controller;
    };
    std::map<const UIViewController*, Entry> m_entries;
    std::string m_prefix;
    uint64_t m_next { 1 };
    ScreenVersions m_versions;
};
