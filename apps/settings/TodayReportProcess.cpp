#include "apps/settings/TodayReportProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string lastLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    auto newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}


// How a child's wait status reads as a ProcessExit.
ProcessExit exitOf(int status)
{
    ProcessExit exit;
    exit.reaped = true;
    if (WIFEXITED(status))
        exit.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exit.signal = WTERMSIG(status);
    return exit;
}

void closeStream(auto& stream)
{
    stream.source.reset();
    stream.fd.reset();
}

}

std::shared_ptr<TodayReportProcess> TodayReportProcess::start(const std::vector<std::string>& arguments, Completion completion)
{
    std::shared_ptr<TodayReportProcess> process(new TodayReportProcess());
    process->m_completion = std::move(completion);
    std::string why;
    if (!process->launch(arguments, why)) {
        closeStream(process->m_output);
        closeStream(process->m_errors);
        // The caller hears of the failure as of any other end: later, from the loop.
        NSRunLoop::main().performBlock([process, why] {
            process->m_finished = true;
            if (auto completion = std::move(process->m_completion))
                completion(Result { std::nullopt, why });
        });
        return process;
    }
    process->watch(process->m_output);
    process->watch(process->m_errors);
    // The handler holds the process while the child runs; the source goes when the child ends.
    process->m_exitSource = std::make_unique<ChildExitSource>(process->m_pid, [process](const ProcessExit& exit) { process->childEnded(exit); });
    return process;
}

bool TodayReportProcess::launch(const std::vector<std::string>& arguments, std::string& why)
{
    int output[2] = { -1, -1 };
    int errors[2] = { -1, -1 };
    if (pipe2(output, O_CLOEXEC | O_NONBLOCK) != 0 || pipe2(errors, O_CLOEXEC | O_NONBLOCK) != 0) {
        why = std::string("cannot make a pipe: ") + strerror(errno);
        for (int fd : { output[0], output[1], errors[0], errors[1] })
            if (fd >= 0)
                close(fd);
        return false;
    }
    m_output.fd.reset(output[0]);
    m_errors.fd.reset(errors[0]);
    FileDescriptor childOutput(output[1]);
    FileDescriptor childErrors(errors[1]);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, childOutput.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&files, childErrors.get(), STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The host blocks its stop signals to read them from a descriptor; the child starts with
    // none blocked and the default actions.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int failed = posix_spawn(&m_pid, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (failed) {
        m_pid = -1;
        why = "cannot start " + arguments[0] + ": " + strerror(failed);
        return false;
    }
    return true;
}

void TodayReportProcess::watch(Stream& stream)
{
    auto self = shared_from_this();
    stream.source = RunLoopSource(stream.fd.get(), EPOLLIN, [self, &stream](uint32_t) { self->readFrom(stream); });
}

void TodayReportProcess::readFrom(Stream& stream)
{
    // Held here: closing the stream drops the handler that holds the process.
    auto self = shared_from_this();
    char buffer[65536];
    for (;;) {
        ssize_t n = read(stream.fd.get(), buffer, sizeof buffer);
        if (n > 0) {
            stream.text.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The end of the stream, or a stream that cannot be read any more.
        break;
    }
    closeStream(stream);
    finishIfDone();
}

void TodayReportProcess::childEnded(const ProcessExit& exit)
{
    auto self = shared_from_this();
    m_exit = exit;
    m_exitSource.reset();
    finishIfDone();
}

void TodayReportProcess::finishIfDone()
{
    if (m_finished || m_output.fd.isValid() || m_errors.fd.isValid())
        return;
    if (!m_exit) {
        if (m_exitSource && m_exitSource->isWatching())
            return;
        // Without pidfds (kernels before 5.3) the end of both streams stands for the child's
        // end: it has closed its output and is ending, so this wait is short.
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
        m_exit = exitOf(status);
        m_exitSource.reset();
    }
    m_finished = true;
    if (auto completion = std::move(m_completion))
        completion(result());
}

TodayReportProcess::Result TodayReportProcess::result() const
{
    if (!m_exit->reaped || m_exit->exitStatus != 0) {
        std::string message = lastLine(m_errors.text);
        if (message.empty())
            message = m_exit->signal ? "phonectl was ended by signal " + std::to_string(m_exit->signal) : "phonectl failed";
        return { std::nullopt, message };
    }
    auto report = nlohmann::json::parse(m_output.text, nullptr, false);
    if (report.is_discarded() || !report.is_object())
        return { std::nullopt, "phonectl gave no report" };
    return { std::move(report), {} };
}
