#pragma once

#include <filesystem>

// The simulated phone's control interface: a service of the home-screen host on the phone's
// bus, through which phonectl (and tests) read the phone's state and act on it as a person
// would. Its methods and signals are documented in
// dbus/com.velloq.phone.Control.xml.
namespace PhoneControl {

inline constexpr const char* kServiceName = "com.velloq.phone.Control";
inline constexpr const char* kObjectPath = "/com/velloq/phone/Control";
inline constexpr const char* kInterface = "com.velloq.phone.Control";
// Posted (Darwin) by the home-screen host after it moved the phone's virtual clock.
inline constexpr const char* kClockMovedNotification = "com.velloq.phone.ClockMoved";

// Where a booted phone keeps its run-time files, under the device root.
// The home-screen host writes its process id here once it has finished launching (and removes
// the file when it starts and when it exits).
inline std::filesystem::path launchedPath(const std::filesystem::path& root)
{
    return root / "var" / "run" / "springboard.launched";
}

// The process that keeps a booted phone running (phonectl boot): its process id.
inline std::filesystem::path supervisorPath(const std::filesystem::path& root)
{
    return root / "var" / "run" / "phone.pid";
}

// The home-screen host's own output (what it writes before the plug-in reopens its error
// stream on the log, and after a crash).
inline std::filesystem::path hostOutputPath(const std::filesystem::path& root)
{
    return root / "var" / "log" / "springboard.log";
}

}
