#include "platform/foundation/NSLog.h"

#include "platform/foundation/Clock.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <ctime>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& processName()
{
    static std::string name = program_invocation_short_name;
    return name;
}

std::string timestamp()
{
    NSTimeInterval now = Clock::process().now();
    time_t seconds = static_cast<time_t>(std::floor(now));
    int millis = static_cast<int>((now - static_cast<double>(seconds)) * 1000.0);
    struct tm local { };
    localtime_r(&seconds, &local);
    char text[48];
    size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    snprintf(text + n, sizeof text - n, ".%03d", millis);
    return text;
}

}

void NSLogSetProcessName(const char* name)
{
    std::lock_guard lock(logMutex());
    processName() = name;
}

void NSLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        vsnprintf(message.data(), message.size() + 1, format, args);
    va_end(args);

    std::lock_guard lock(logMutex());
    std::string line = timestamp() + " " + processName() + "[" + std::to_string(getpid()) + "] " + message + "\n";
    fwrite(line.data(), 1, line.size(), stderr);
    fflush(stderr);
}
