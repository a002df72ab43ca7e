#include "platform/machinery/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

std::vector<char*> pointersTo(std::vector<std::string>& words)
{
    std::vector<char*> pointers;
    for (auto& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

}

std::string findProgram(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = getenv("PATH");
    std::stringstream dirs(path && *path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

std::string requireProgram(const std::string& name, const std::string& package, const std::string& who)
{
    std::string found = findProgram(name);
    if (found.empty())
        throw std::runtime_error(who + ": " + name + " is not installed (Debian package " + package + ")");
    return found;
}

int aboveStandardStreams(int fd)
{
    if (fd > STDERR_FILENO)
        return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

pid_t startChild(const ChildOptions& options)
{
    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
    std::vector<std::string> words = options.argv;
    std::vector<char*> argv = pointersTo(words);
    std::vector<std::string> entries = options.env.value_or(std::vector<std::string>());
    std::vector<char*> envp = pointersTo(entries);
    char** environment = options.env ? envp.data() : environ;
    std::string log = options.log.string();
    pid_t parent = getpid();

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error(std::string("fork: ") + strerror(errno));
    if (pid > 0)
        return pid;
    if (options.dieWithParent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
    }
    if (options.ownProcessGroup)
        setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int null = open("/dev/null", O_RDWR);
    int logFd = log.empty() ? -1 : open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
    int fallback = logFd >= 0 ? logFd : null;
    dup2(null, STDIN_FILENO);
    dup2(options.stdoutFd >= 0 ? options.stdoutFd : fallback, STDOUT_FILENO);
    dup2(options.stderrFd >= 0 ? options.stderrFd : fallback, STDERR_FILENO);
    if (options.inheritedFd >= 0)
        fcntl(options.inheritedFd, F_SETFD, 0);
    execve(argv[0], argv.data(), environment);
    _exit(127);
}

std::string readLine(int fd, std::chrono::steady_clock::time_point deadline)
{
    std::string text;
    for (;;) {
        pollfd ready { fd, POLLIN, 0 };
        int n = poll(&ready, 1, remainingMs(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return "";
        char buffer[512];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return "";
        text.append(buffer, static_cast<size_t>(got));
        if (size_t newline = text.find('\n'); newline != std::string::npos)
            return text.substr(0, newline);
    }
}

bool waitForProcessEnd(pid_t pid, int timeoutMs, bool child)
{
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd ended { pidfd, POLLIN, 0 };
        int n;
        do {
            n = poll(&ended, 1, timeoutMs);
        } while (n < 0 && errno == EINTR);
        close(pidfd);
        if (n == 0)
            return false;
    } else if (errno != ESRCH && !child) {
        return false;
    }
    if (child) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    }
    return true;
}

void endProcess(pid_t pid, int timeoutMs, bool child)
{
    if (pid <= 0)
        return;
    if (kill(pid, SIGTERM) != 0 && errno == ESRCH) {
        if (child)
            waitForProcessEnd(pid, 0, true);
        return;
    }
    if (!waitForProcessEnd(pid, timeoutMs, child)) {
        kill(pid, SIGKILL);
        waitForProcessEnd(pid, -1, child);
    }
}

std::string tailOfFile(const std::filesystem::path& path, size_t maxBytes)
{
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    if (text.size() > maxBytes)
        text = "..." + text.substr(text.size() - maxBytes);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}
