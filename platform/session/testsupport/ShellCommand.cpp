#include "platform/session/testsupport/ShellCommand.h"

#include "platform/machinery/ChildProcess.h"
#include "platform/machinery/FileDescriptor.h"
#include "platform/session/testsupport/Deadline.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>

namespace TestSession {

namespace {

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
    Pipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("private session: pipe: ") + strerror(errno));
        read.reset(fds[0]);
        write.reset(fds[1]);
    }
};

// Reads both streams until each ends; false when the deadline came first.
bool readUntilEnd(FileDescriptor& out, FileDescriptor& err, CommandResult& result, const Deadline& deadline)
{
    FileDescriptor* streams[2] = { &out, &err };
    std::string* texts[2] = { &result.output, &result.errors };
    while (out.isValid() || err.isValid()) {
        pollfd fds[2] = { { out.get(), POLLIN, 0 }, { err.get(), POLLIN, 0 } };
        int n = poll(fds, 2, deadline.remainingMs());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (!streams[i]->isValid() || !fds[i].revents)
                continue;
            char buffer[4096];
            ssize_t got = ::read(streams[i]->get(), buffer, sizeof buffer);
            if (got > 0)
                texts[i]->append(buffer, static_cast<size_t>(got));
            else if (got == 0 || errno != EINTR)
                streams[i]->reset();
        }
    }
    return true;
}

}

CommandResult runShellCommand(const std::string& command, const std::vector<std::string>& environment)
{
    Pipe out, err;
    ChildOptions shell;
    shell.argv = { "/bin/sh", "-c", command };
    shell.env = environment;
    shell.stdoutFd = out.write.get();
    shell.stderrFd = err.write.get();
    shell.ownProcessGroup = true;
    shell.dieWithParent = false;
    pid_t pid = startChild(shell);
    out.write.reset();
    err.write.reset();

    CommandResult result;
    bool ended = readUntilEnd(out.read, err.read, result, Deadline::in(kCommandTimeout));
    if (!ended)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (!ended)
        result.errors = "timed out after " + std::to_string(kCommandTimeout.count() / 1000) + " s; " + result.errors;
    result.status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}
