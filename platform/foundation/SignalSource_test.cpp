#include "platform/foundation/SignalSource.h"

#include "platform/testsupport/RunLoopFixture.h"

#include <csignal>
#include <memory>
#include <pthread.h>
#include <vector>

namespace {

class SignalSourceTest : public RunLoopFixture {
protected:
    static bool isBlocked(int signal)
    {
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        return sigismember(&mask, signal) == 1;
    }
};

}

TEST_F(SignalSourceTest, ARaisedSignalIsHandledOnTheLoopInsteadOfInterrupting)
{
    std::vector<int> received;
    {
        SignalSource source({ SIGUSR1, SIGUSR2 }, [&](int signal) { received.push_back(signal); });
        ASSERT_TRUE(source.isActive());
        EXPECT_TRUE(isBlocked(SIGUSR1));
        raise(SIGUSR1);
        EXPECT_TRUE(received.empty()) << "nothing runs before the loop turns";
        NSRunLoop::main().runPending();
        EXPECT_EQ(received, (std::vector<int> { SIGUSR1 }));
        raise(SIGUSR2);
        NSRunLoop::main().runPending();
        EXPECT_EQ(received, (std::vector<int> { SIGUSR1, SIGUSR2 }));
    }
    EXPECT_FALSE(isBlocked(SIGUSR1)) << "unblocked again when the source goes";
    EXPECT_FALSE(isBlocked(SIGUSR2));
}

TEST_F(SignalSourceTest, ASignalBlockedBeforeStaysBlocked)
{
    sigset_t usr2;
    sigemptyset(&usr2);
    sigaddset(&usr2, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &usr2, nullptr);
    {
        SignalSource source({ SIGUSR1, SIGUSR2 }, [](int) { });
    }
    EXPECT_FALSE(isBlocked(SIGUSR1));
    EXPECT_TRUE(isBlocked(SIGUSR2));
    pthread_sigmask(SIG_UNBLOCK, &usr2, nullptr);
}

TEST_F(SignalSourceTest, AHandlerThatDestroysItsSourceGetsNoMoreSignals)
{
    std::vector<int> received;
    std::unique_ptr<SignalSource> source;
    source = std::make_unique<SignalSource>(std::initializer_list<int> { SIGUSR1, SIGUSR2 }, [&](int signal) {
        received.push_back(signal);
        source.reset();
    });
    raise(SIGUSR1);
    raise(SIGUSR2);
    NSRunLoop::main().runPending();
    EXPECT_EQ(received.size(), 1u);
    EXPECT_FALSE(source);
    EXPECT_FALSE(isBlocked(SIGUSR1));
}
