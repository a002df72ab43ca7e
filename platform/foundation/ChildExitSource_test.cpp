#include "platform/foundation/ChildExitSource.h"

#include "platform/testsupport/RunLoopFixture.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ChildExitSourceTest : public RunLoopFixture {
protected:
    // A child that waits until its pipe is closed, then exits with the status.
    pid_t childWaitingForPipe(int status)
    {
        int fds[2];
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[1]);
            char byte;
            while (read(fds[0], &byte, 1) > 0) { }
            _exit(status);
        }
        close(fds[0]);
        m_release = fds[1];
        return pid;
    }
    void releaseChild()
    {
        close(m_release);
        m_release = -1;
    }

    bool waitFor(const std::optional<ProcessExit>& end) { return NSRunLoop::main().runUntilCondition([&] { return end.has_value(); }, 10); }

    int m_release { -1 };
};

}

TEST_F(ChildExitSourceTest, AChildsExitStatusIsReportedAndItIsReaped)
{
    pid_t pid = childWaitingForPipe(7);
    std::optional<ProcessExit> end;
    ChildExitSource source(pid, [&](const ProcessExit& exit) { end = exit; });
    ASSERT_TRUE(source.isWatching());
    NSRunLoop::main().runUntilCondition([] { return false; }, 0.05);
    EXPECT_FALSE(end) << "nothing before the child ends";
    releaseChild();
    ASSERT_TRUE(waitFor(end));
    EXPECT_TRUE(end->reaped);
    EXPECT_EQ(end->exitStatus, 7);
    EXPECT_EQ(end->signal, 0);
    EXPECT_TRUE(source.hasEnded());
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "already reaped";
}

TEST_F(ChildExitSourceTest, AKilledChildReportsTheSignal)
{
    pid_t pid = childWaitingForPipe(0);
    std::optional<ProcessExit> end;
    ChildExitSource source(pid, [&](const ProcessExit& exit) { end = exit; });
    kill(pid, SIGKILL);
    ASSERT_TRUE(waitFor(end));
    EXPECT_TRUE(end->reaped);
    EXPECT_EQ(end->exitStatus, -1);
    EXPECT_EQ(end->signal, SIGKILL);
    releaseChild();
}

// A process that is not this one's child (a grandchild whose parent has gone) ends without a
// status to tell; one that no longer exists is reported at once.
TEST_F(ChildExitSourceTest, OtherProcessesEndWithoutAStatus)
{
    int release[2];
    int told[2];
    ASSERT_EQ(pipe2(release, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(told, O_CLOEXEC), 0);
    pid_t parent = fork();
    if (parent == 0) {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            close(release[1]);
            char byte;
            while (read(release[0], &byte, 1) > 0) { }
            _exit(3);
        }
        (void)!write(told[1], &grandchild, sizeof grandchild);
        _exit(0);
    }
    pid_t grandchild = 0;
    ASSERT_EQ(read(told[0], &grandchild, sizeof grandchild), static_cast<ssize_t>(sizeof grandchild));
    waitpid(parent, nullptr, 0);
    close(release[0]);
    close(told[0]);
    close(told[1]);

    std::optional<ProcessExit> end;
    ChildExitSource source(grandchild, [&](const ProcessExit& exit) { end = exit; });
    close(release[1]);
    ASSERT_TRUE(waitFor(end));
    EXPECT_FALSE(end->reaped);

    std::optional<ProcessExit> gone;
    ChildExitSource none(parent, [&](const ProcessExit& exit) { gone = exit; });
    EXPECT_FALSE(gone) << "reported on the next turn, not from the constructor";
    NSRunLoop::main().runPending();
    ASSERT_TRUE(gone);
    EXPECT_FALSE(gone->reaped);
}

TEST_F(ChildExitSourceTest, ASourceDestroyedFirstReportsNothing)
{
    pid_t pid = childWaitingForPipe(0);
    bool reported = false;
    auto source = std::make_unique<ChildExitSource>(pid, [&](const ProcessExit&) { reported = true; });
    source.reset();
    releaseChild();
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid) << "left for the caller to reap";
    NSRunLoop::main().runUntilCondition([] { return false; }, 0.05);
    EXPECT_FALSE(reported);
}
