#pragma once

#include <cstdint>

// NetworkManager's D-Bus names and numbers (nm-dbus-types), as the watch reads them and the
// tests' stand-in for NetworkManager serves them.
namespace NetworkManagerNames {

inline constexpr const char* kService = "org.freedesktop.NetworkManager";
inline constexpr const char* kObjectManagerPath = "/org/freedesktop";
inline constexpr const char* kManagerPath = "/org/freedesktop/NetworkManager";
inline constexpr const char* kManagerInterface = "org.freedesktop.NetworkManager";
inline constexpr const char* kDeviceInterface = "org.freedesktop.NetworkManager.Device";
inline constexpr const char* kWirelessInterface = "org.freedesktop.NetworkManager.Device.Wireless";
inline constexpr const char* kAccessPointInterface = "org.freedesktop.NetworkManager.AccessPoint";
inline constexpr const char* kSettingsPath = "/org/freedesktop/NetworkManager/Settings";
inline constexpr const char* kSettingsInterface = "org.freedesktop.NetworkManager.Settings";
inline constexpr const char* kConnectionInterface = "org.freedesktop.NetworkManager.Settings.Connection";

inline constexpr uint32_t kDeviceTypeWifi = 2;
inline constexpr uint32_t kDeviceStateDisconnected = 30;
inline constexpr uint32_t kActiveConnectionActivated = 2;
inline constexpr uint32_t kStateAsleep = 10;
inline constexpr uint32_t kStateDisconnected = 20;
inline constexpr uint32_t kStateConnectedGlobal = 70;
inline constexpr uint32_t kSecurityWpaPsk = 0x100;

}
