#pragma once

#include "platform/foundation/NSLog.h"

#include <string>
#include <string_view>

// The system's log line: "com.velloq.Hushline: <Level> => <function>, [Line <n>], <message>",
// where <function> is the qualified name of the logging function ("HLProfilesManager::loadProfiles").
std::string hl_qualifiedFunctionName(std::string_view prettyFunction);

#define HL_LOG_AT(level, format, ...)                                                           \
    NSLog("com.velloq.Hushline: " level " => %s, [Line %d], " format,                         \
        hl_qualifiedFunctionName(__PRETTY_FUNCTION__).c_str(), __LINE__ __VA_OPT__(, ) __VA_ARGS__)

// A step that an operation hands to a helper of its own logs in the operation's name, so that its
// lines read as they would if the operation had written them itself.
#define HL_LOG_FOR_AT(level, function, format, ...)                                             \
    NSLog("com.velloq.Hushline: " level " => %s, [Line %d], " format, function, __LINE__ __VA_OPT__(, ) __VA_ARGS__)

#define HLLogInfoFor(function, format, ...) HL_LOG_FOR_AT("Information", function, format __VA_OPT__(, ) __VA_ARGS__)
#define HLLogErrorFor(function, format, ...) HL_LOG_FOR_AT("Error", function, format __VA_OPT__(, ) __VA_ARGS__)

#define HLLogInfo(format, ...) HL_LOG_AT("Information", format __VA_OPT__(, ) __VA_ARGS__)
#define HLLogWarning(format, ...) HL_LOG_AT("Warning", format __VA_OPT__(, ) __VA_ARGS__)
#define HLLogError(format, ...) HL_LOG_AT("Error", format __VA_OPT__(, ) __VA_ARGS__)
