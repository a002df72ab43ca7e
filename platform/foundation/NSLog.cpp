#include "platform/foundation/NSLog.h"

#include "platform/foundation/Clock.h"

#include <atomic>
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

std::atomic<bool> logEnabled { true };

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

void NSLogSetEnabled(bool enabled)
{
    logEnabled = enabled;
}

void NSLog(const char* format, ...)
{
    if (!logEnabled)
        return;
    // One formatting pass into a buffer of the usual line's size; a longer line is formatted
    // again into a buffer of its own length.
    char buffer[2048];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::string message;
    if (length >= static_cast<int>(sizeof buffer)) {
        message.resize(static_cast<size_t>(length));
        vsnprintf(message.data(), message.size() + 1, format, copy);
    } else if (length > 0) {
        message.assign(buffer, static_cast<size_t>(length));
    }
    va_end(copy);

    std::lock_guard lock(logMutex());
    std::string line = timestamp();
    line.reserve(line.size() + processName().size() + message.size() + 16);
    line += ' ';
    line += processName();
    line += '[';
    line += std::to_string(getpid());
    line += "] ";
    line += message;
    line += '\n';
    fwrite(line.data(), 1, line.size(), stderr);
    fflush(stderr);
}
