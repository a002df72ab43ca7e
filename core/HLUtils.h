#pragma once

#include "platform/foundation/NSDateFormatter.h"

#include <memory>

// Shared helpers of every subsystem: the OS-version tests, the interface style and the one
// date formatter of the process.
class HLUtils {
public:
    // Whether the system version, read as a decimal number ("12.4.1" reads 12.4), is at least
    // 9.0, 10.0, ... 13.0.
    static bool isIOS9();
    static bool isIOS10();
    static bool isIOS11();
    static bool isIOS12();
    static bool isIOS13();
    static double systemVersionNumber();

    static bool isDarkModeEnabled();

    // Created once per process; callers set the format they need before each use.
    static std::shared_ptr<NSDateFormatter> dateFormatter();
};
