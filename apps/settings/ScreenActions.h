#pragma once

#include "apps/settings/ControllerRegistry.h"

#include <nlohmann/json.hpp>
#include <string>

// What the user does on the page, sent back as one JSON object per tap:
//   { "type": "select", "screen": S, "row": N }            a tap on a row
//   { "type": "change", "screen": S, "row": N, "value": V } a switch, slider or text field
//   { "type": "pick", "screen": S, "hour": H, "minute": M }  the time picker of a detail screen
//   { "type": "delete", "screen": S, "row": N }            the row's delete button
//   { "type": "bar", "screen": S, "side": "left"|"right", "button": N }
//   { "type": "back", "screen": S }                        the back button of the screen on top
//   { "type": "alert", "screen": S, "action": N }          a button of an alert or action sheet
//   { "type": "alertView", "button": N }                   a button of the system alert
//   { "type": "mail", "screen": S, "result": "send"|"cancel" }
//   { "type": "share", "screen": S, "result": "post"|"cancel", "text": T }
// Each is handed to the screens as the phone's UIKit would hand the touch. A tap on a row may
// also name the row's identifier ("rowId") and the version of the screen the page drew
// ("version"): a tap whose screen is gone or has changed since is stale and is not handed on.
class ScreenActions {
public:
    explicit ScreenActions(ControllerRegistry& registry) : m_registry(registry) { }

    // Empty when done; otherwise why the request is malformed (and nothing changed).
    std::string perform(const nlohmann::json& action);
    // Whether the action was aimed at a screen that is gone, or whose rows changed since the
    // page drew it (the page then draws the screen as it is now).
    bool isStale(const nlohmann::json& action);

private:
    ControllerRegistry& m_registry;
};
