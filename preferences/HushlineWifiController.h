#pragma once

#include "preferences/HLPickerListController.h"

#include <optional>
#include <string>

// The Wi-Fi picker: a switch per network the phone remembers, on for the networks at which the
// profile applies by its hours alone. A tap toggles the network in the profile's list.
class HushlineWifiController : public HLPickerListController {
public:
    const Specifiers& specifiers() override;
    // The rows, built once: one switch per remembered network, in the phone's order.
    const Specifiers& wifiSpecifiers();

    PlistValue readPreferenceValue(const std::shared_ptr<PSSpecifier>&) override;
    // Toggles the row's network, whatever the value: a selected one is removed, another added.
    void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>&) override;
    bool isWiFiSelected(const std::string& ssid) const;

    // Also takes the stored record afterwards, so that the screen edits what the store holds.
    void saveProfile() override;
    void profileAppliedStateChanged(const NSNotification&) override;

private:
    std::optional<Specifiers> m_wifiSpecifiers;
};
