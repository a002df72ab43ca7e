#pragma once

#include "apps/settings/ControllerRegistry.h"

#include <nlohmann/json.hpp>

// What the page draws, as JSON: the navigation stack of the window's root (and of a modal
// navigation controller above it), the alert, action sheet or composer on top, and the system
// alert or progress panel. Every screen carries its name for the taps sent back; rows carry
// their index in the list. Images are addresses under "/phone/" (files of the phone).
class ScreenSnapshot {
public:
    explicit ScreenSnapshot(ControllerRegistry& registry) : m_registry(registry) { }

    // What the key window shows.
    nlohmann::json take();
    // What a navigation shows (one tab's, SettingsHost).
    nlohmann::json take(const std::shared_ptr<UIViewController>& root);

    // The address the page loads a phone image from.
    static std::string imageAddress(const std::string& phonePath);

private:
    ControllerRegistry& m_registry;
};
