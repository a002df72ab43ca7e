#pragma once

#include <filesystem>
#include <string_view>

// The simulated phone's file system lives in one folder, the device root. Every absolute path
// of the phone ("/var/mobile/Library/Preferences/...") is resolved beneath it, so that the
// system's code can keep writing the phone's own paths.
class DeviceRoot {
public:
    // The root named by HUSHLINE_DEVICE_ROOT; the current folder's "device" when unset.
    static std::filesystem::path path();

    // The host path of a phone path: "/tmp/velloq.log" -> "<root>/tmp/velloq.log".
    static std::filesystem::path resolve(std::string_view phonePath);
};

// NSHomeDirectory() of the phone's processes: <root>/var/mobile.
std::filesystem::path NSHomeDirectory();
