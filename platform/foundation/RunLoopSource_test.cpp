#include "platform/foundation/RunLoopSource.h"

#include "platform/machinery/FileDescriptor.h"
#include "platform/testsupport/RunLoopFixture.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

class RunLoopSourceTest : public RunLoopFixture {
protected:
    void SetUp() override
    {
        RunLoopFixture::SetUp();
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
        m_read.reset(fds[0]);
        m_write.reset(fds[1]);
    }

    void send(const char* text) { ASSERT_GT(write(m_write.get(), text, strlen(text)), 0); }
    NSRunLoop::SourceHandler reader()
    {
        return [this](uint32_t events) {
            EXPECT_TRUE(events & EPOLLIN);
            char buffer[64];
            ssize_t n = read(m_read.get(), buffer, sizeof buffer);
            m_received.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        };
    }

    FileDescriptor m_read;
    FileDescriptor m_write;
    std::string m_received;
};

}

TEST_F(RunLoopSourceTest, AReadablePipeIsServedUntilTheSourceGoes)
{
    {
        RunLoopSource source(m_read.get(), EPOLLIN, reader());
        ASSERT_TRUE(source.isActive());
        NSRunLoop::main().runPending();
        EXPECT_EQ(m_received, "");
        send("ping");
        NSRunLoop::main().runPending();
        EXPECT_EQ(m_received, "ping");
    }
    send("more");
    NSRunLoop::main().runPending();
    EXPECT_EQ(m_received, "ping") << "no longer watched";
}

TEST_F(RunLoopSourceTest, AMovedSourceKeepsWatchingAndTheLoopWatchesADescriptorOnce)
{
    RunLoopSource moved;
    {
        RunLoopSource source(m_read.get(), EPOLLIN, reader());
        RunLoopSource twice(m_read.get(), EPOLLIN, reader());
        EXPECT_FALSE(twice.isActive()) << "the loop refuses a descriptor it already watches";
        moved = std::move(source);
        EXPECT_FALSE(source.isActive());
    }
    EXPECT_TRUE(moved.isActive());
    send("ping");
    NSRunLoop::main().runPending();
    EXPECT_EQ(m_received, "ping");
    moved.reset();
    RunLoopSource again(m_read.get(), EPOLLIN, reader());
    EXPECT_TRUE(again.isActive()) << "watched again once the old watch went";
}
