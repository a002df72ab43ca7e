#include "apps/phonectl/TodayCommand.h"

#include "platform/eventkit/CalendarCache.h"

#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/Json.h"
#include "apps/phonectl/ShadowDay.h"
#include "apps/phonectl/ShadowRoot.h"
#include "apps/phonectl/TodayText.h"
#include "core/NSDate+HLAdditions.h"
#include "platform/eventkit/CalendarCache.h"
#include "platform/foundation/NSLog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const std::string& text)
{
    for (size_t written = 0; written < text.size();) {
        ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

// What the shadow phone hands back: the report as it is printed, or why there is none.
constexpr char kReport = 'R';
constexpr char kFailure = 'E';

// The shadow phone's process: its log goes nowhere, its answer to the pipe, already in the form
// it is printed in (the report is large, and the parent only prints it).
[[noreturn]] void runChild(int answer, const ShadowDay& day, bool json)
{
    int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (quiet >= 0)
        dup2(quiet, STDERR_FILENO);
    NSLogSetEnabled(false);
    std::string text;
    try {
        PlistValue report(runShadowDay(day));
        text = kReport + (json ? toJson(report) + "\n" : todayText(report));
    } catch (const std::exception& error) {
        text = kFailure + std::string(error.what());
    }
    bool sent = writeAll(answer, text);
    std::fflush(nullptr);
    // The shadow phone's singletons die with the process; no static destructor runs.
    _exit(sent ? 0 : 1);
}

// The next midnight after the date.
NSDate endOfDay(const NSDate& date)
{
    return hl_beginningOfDay(hl_endOfDay(date).dateByAddingTimeInterval(1));
}

}

std::optional<std::filesystem::path> todayCalendarCache(const std::filesystem::path& root)
{
    return CalendarCache::userCacheFile(root / "var/mobile/Calendars");
}

std::string lookAtToday(const TodayRequest& request)
{
    NSDate from = request.day ? hl_beginningOfDay(*request.day) : NSDate::date();
    ShadowRoot shadow(request.root, request.day.has_value());
    ShadowDay day { shadow.path(), from, endOfDay(from), request.calendarCache };

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw PhonectlError(std::string("cannot start the shadow phone: ") + strerror(errno));
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        throw PhonectlError(std::string("cannot start the shadow phone: ") + strerror(errno));
    }
    if (child == 0) {
        close(fds[0]);
        runChild(fds[1], day, request.json);
    }
    close(fds[1]);
    std::string text = readAll(fds[0]);
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty() || (text[0] != kReport && text[0] != kFailure))
        throw PhonectlError("the shadow phone did not finish its day");
    if (text[0] == kFailure)
        throw PhonectlError("the shadow phone failed: " + text.substr(1));
    return text.substr(1);
}
