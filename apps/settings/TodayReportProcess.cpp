#include "apps/settings/TodayReportProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/syscall.h>
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

}

std::shared_ptr<TodayReportProcess> TodayReportProcess::start(const std::vector<std::string>& arguments, Completion completion)
{
    std::shared_ptr<TodayReportProcess> process(new TodayReportProcess());
    process->m_completion = std::move(completion);
    std::string why;
    if (!process->launch(arguments, why)) {
        process->closeStream(process->m_output);
        process->closeStream(process->m_errors);
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
    if (process->m_pidfd >= 0) {
        // The handler holds the process while the child runs; it is removed when the child ends.
        process->m_pidSource = NSRunLoop::main().addSource(process->m_pidfd, EPOLLIN, [process](uint32_t) { process->childEnded(); });
    }
    return process;
}

TodayReportProcess::~TodayReportProcess()
{
    closeStream(m_output);
    closeStream(m_errors);
    if (m_pidSource)
        NSRunLoop::main().removeSource(m_pidSource);
    if (m_pidfd >= 0)
        close(m_pidfd);
}

bool TodayReportProcess::launch(const std::vector<std::string>& arguments, std::string& why)
{
    int output[2] = { -1, -1 };
    int errors[2] = { -1, -1 };
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
        why = std::string("cannot make a pipe: ") + strerror(errno);
        for (int fd : { output[0], output[1], errors[0], errors[1] })
            if (fd >= 0)
                close(fd);
        return false;
    }
    m_output.fd = output[0];
    m_errors.fd = errors[0];
    fcntl(m_output.fd, F_SETFL, fcntl(m_output.fd, F_GETFL) | O_NONBLOCK);
    fcntl(m_errors.fd, F_SETFL, fcntl(m_errors.fd, F_GETFL) | O_NONBLOCK);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&files, errors[1], STDERR_FILENO);
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
    close(output[1]);
    close(errors[1]);
    if (failed) {
        m_pid = -1;
        why = "cannot start " + arguments[0] + ": " + strerror(failed);
        return false;
    }
    // Without pidfds (kernels before 5.3) the end of both streams stands for the child's end.
    m_pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    return true;
}

void TodayReportProcess::watch(Stream& stream)
{
    auto self = shared_from_this();
    stream.source = NSRunLoop::main().addSource(stream.fd, EPOLLIN, [self, &stream](uint32_t) { self->readFrom(stream); });
}

void TodayReportProcess::readFrom(Stream& stream)
{
    char buffer[65536];
    for (;;) {
        ssize_t n = read(stream.fd, buffer, sizeof buffer);
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

void TodayReportProcess::closeStream(Stream& stream)
{
    if (stream.source)
        NSRunLoop::main().removeSource(stream.source);
    stream.source = 0;
    if (stream.fd >= 0)
        close(stream.fd);
    stream.fd = -1;
}

void TodayReportProcess::childEnded()
{
    int status = 0;
    pid_t reaped;
    while ((reaped = waitpid(m_pid, &status, WNOHANG)) < 0 && errno == EINTR) { }
    if (reaped == 0)
        return;
    m_status = reaped == m_pid ? status : -1;
    if (m_pidSource)
        NSRunLoop::main().removeSource(m_pidSource);
    m_pidSource = 0;
    close(m_pidfd);
    m_pidfd = -1;
    finishIfDone();
}

void TodayReportProcess::finishIfDone()
{
    if (m_finished || m_output.fd >= 0 || m_errors.fd >= 0)
        return;
    if (!m_status) {
        if (m_pidfd >= 0)
            return;
        // No pidfd: the child has closed its output and is ending; this wait is short.
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
        m_status = status;
    }
    m_finished = true;
    if (auto completion = std::move(m_completion))
        completion(result());
}

TodayReportProcess::Result TodayReportProcess::result() const
{
    int status = *m_status;
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string message = lastLine(m_errors.text);
        if (message.empty())
            message = status != -1 && WIFSIGNALED(status) ? "phonectl was ended by signal " + std::to_string(WTERMSIG(status))
                                                           : "phonectl failed";
        return { std::nullopt, message };
    }
    auto report = nlohmann::json::parse(m_output.text, nullptr, false);
    if (report.is_discarded() || !report.is_object())
        return { std::nullopt, "phonectl gave no report" };
    return { std::move(report), {} };
}
