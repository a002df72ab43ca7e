#pragma once

#include <memory>
#include <optional>
#include <string>

// The phone's own description of itself. The system version is the "ProductVersion" of
// "/System/Library/CoreServices/SystemVersion.plist" ("" when the file is missing).
class UIDevice {
public:
    static std::shared_ptr<UIDevice> currentDevice();
    std::string systemVersion() const;

    // The hardware's own facts, from "/System/Library/CoreServices/DeviceInfo.plist":
    // "ProductType" (the model code, "iPhone12,1" when unset), "SerialNumber" and
    // "UniqueDeviceID" (empty when unset).
    std::string modelCode() const;
    std::string serialNumber() const;
    std::string uniqueDeviceIdentifier() const;
    // 1 (a tablet) for an "iPad" model code, 0 (a phone) otherwise.
    long userInterfaceIdiom() const;
};

enum class UIUserInterfaceStyle : long { Unspecified = 0, Light = 1, Dark = 2 };

// The trait collection of the main screen. Only version 12 and later offer an interface style;
// the user's choice is "UserInterfaceStyle" (1 light, 2 dark) of the phone's "com.apple.UIKit"
// preferences domain, light when unset.
class UITraitCollection {
public:
    explicit UITraitCollection(std::optional<UIUserInterfaceStyle> style) : m_style(style) { }
    bool respondsToUserInterfaceStyle() const { return m_style.has_value(); }
    UIUserInterfaceStyle userInterfaceStyle() const { return m_style.value_or(UIUserInterfaceStyle::Unspecified); }

private:
    std::optional<UIUserInterfaceStyle> m_style;
};

class UIScreen {
public:
    static std::shared_ptr<UIScreen> mainScreen();
    UITraitCollection traitCollection() const;
    // Pixels per point.
    double scale() const { return 2.0; }
};
