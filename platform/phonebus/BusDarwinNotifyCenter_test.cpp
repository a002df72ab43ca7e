#include "platform/phonebus/BusDarwinNotifyCenter.h"

#include "platform/testsupport/PeerProcess.h"
#include "platform/testsupport/PhoneBusFixture.h"

#include <map>
#include <thread>

namespace {

class BusDarwinNotifyCenterTest : public PhoneBusFixture {
protected:
    // Observes the name through the phone's C call, counting deliveries per observer.
    void observe(const std::string& observer, const std::string& name)
    {
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &m_heard[observer], heard, name, nullptr,
            CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    int heardBy(const std::string& observer, const std::string& name) { return m_heard[observer].names[name]; }

    struct Counts {
        std::map<std::string, int> names;
        std::vector<std::thread::id> threads;
    };
    static void heard(CFNotificationCenterRef, void* observer, const std::string& name, const void*, const void*)
    {
        auto* counts = static_cast<Counts*>(observer);
        ++counts->names[name];
        counts->threads.push_back(std::this_thread::get_id());
    }

    std::map<std::string, Counts> m_heard;
};

}

TEST_F(BusDarwinNotifyCenterTest, AnotherProcesssPostReachesItsObserversOnTheMainRunLoop)
{
    observe("first", "com.velloq.ProfileAddedNotification");
    observe("second", "com.velloq.ProfileAddedNotification");
    observe("other", "com.velloq.ProfileDeletedNotification");

    PeerProcess peer(peerProgram(), { "post", "com.velloq.ProfileAddedNotification" });
    ASSERT_TRUE(peer.waitForExit());
    EXPECT_EQ(peer.exitStatus(), 0);
    ASSERT_TRUE(waitFor([&] { return heardBy("second", "com.velloq.ProfileAddedNotification") == 1; }));
    EXPECT_EQ(heardBy("first", "com.velloq.ProfileAddedNotification"), 1);
    EXPECT_EQ(heardBy("other", "com.velloq.ProfileDeletedNotification"), 0);
    EXPECT_EQ(m_heard["first"].threads, std::vector<std::thread::id> { std::this_thread::get_id() });

    CFNotificationCenterRemoveObserver(CFNotificationCenterGetDarwinNotifyCenter(), &m_heard["first"], "com.velloq.ProfileAddedNotification", nullptr);
    observe("second", "com.velloq.End");
    PeerProcess again(peerProgram(), { "post", "com.velloq.ProfileAddedNotification", "com.velloq.End" });
    ASSERT_TRUE(waitFor([&] { return heardBy("second", "com.velloq.End") == 1; }));
    EXPECT_EQ(heardBy("second", "com.velloq.ProfileAddedNotification"), 2);
    EXPECT_EQ(heardBy("first", "com.velloq.ProfileAddedNotification"), 1) << "a removed observer hears nothing more";
}

TEST_F(BusDarwinNotifyCenterTest, AProcessHearsItsOwnPostsOnceAfterTheLoopTurns)
{
    observe("first", "com.velloq.ProfileChangedNotification");
    observe("second", "com.velloq.ProfileChangedNotification");
    observe("first", "com.velloq.End");

    notify_post("com.velloq.ProfileChangedNotification");
    EXPECT_EQ(heardBy("first", "com.velloq.ProfileChangedNotification"), 0) << "delivered by the bus, not during the post";
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.velloq.End", nullptr, nullptr, true);
    ASSERT_TRUE(waitFor([&] { return heardBy("first", "com.velloq.End") == 1; }));
    EXPECT_EQ(heardBy("first", "com.velloq.ProfileChangedNotification"), 1);
    EXPECT_EQ(heardBy("second", "com.velloq.ProfileChangedNotification"), 1);
    EXPECT_EQ(DarwinNotifyCenter::current().postedNames(),
        (std::vector<std::string> { "com.velloq.ProfileChangedNotification", "com.velloq.End" }));
}

TEST_F(BusDarwinNotifyCenterTest, AnObserverThatSubscribesAgainWhileHearingStillHearsOnce)
{
    auto& center = DarwinNotifyCenter::current();
    int heard = 0;
    std::function<void(const std::string&)> handler = [&](const std::string& name) {
        ++heard;
        center.removeObserver(this, name);
        center.addObserver(this, name, handler);
    };
    center.addObserver(this, "com.velloq.Again", handler);
    bool ended = false;
    center.addObserver(&ended, "com.velloq.End", [&](const std::string&) { ended = true; });

    center.post("com.velloq.Again");
    center.post("com.velloq.End");
    ASSERT_TRUE(waitFor([&] { return ended; }));
    EXPECT_EQ(heard, 1);

    ended = false;
    center.post("com.velloq.Again");
    center.post("com.velloq.End");
    ASSERT_TRUE(waitFor([&] { return ended; }));
    EXPECT_EQ(heard, 2) << "the renewed subscription hears the next post";
}

TEST_F(BusDarwinNotifyCenterTest, PostsReachAnotherProcessOnceAndInOrder)
{
    PeerProcess peer(peerProgram(), { "observe", "com.velloq.End", "com.velloq.A", "com.velloq.B" });
    ASSERT_TRUE(peer.waitForLine("ready"));
    notify_post("com.velloq.A");
    notify_post("com.velloq.Unobserved");
    notify_post("com.velloq.B");
    notify_post("com.velloq.A");
    notify_post("com.velloq.End");
    ASSERT_TRUE(peer.waitForExit());
    EXPECT_EQ(peer.exitStatus(), 0);
    EXPECT_EQ(peer.lines(), (std::vector<std::string> { "ready", "heard com.velloq.A", "heard com.velloq.B", "heard com.velloq.A", "heard com.velloq.End" }));
}

TEST_F(BusDarwinNotifyCenterTest, NamesMatchExactlyWhateverTheyHold)
{
    const std::string odd = "it's, a \\name='x'";
    observe("exact", "com.velloq.Name");
    observe("exact", odd);
    observe("exact", "com.velloq.End");
    for (const char* name : { "com.velloq.Name.More", "com.velloq", "com.velloq.name", "it's", "com.velloq.Name", "it's, a \\name='x'", "com.velloq.End" })
        notify_post(name);
    ASSERT_TRUE(waitFor([&] { return heardBy("exact", "com.velloq.End") == 1; }));
    std::map<std::string, int> expected { { "com.velloq.Name", 1 }, { odd, 1 }, { "com.velloq.End", 1 } };
    EXPECT_EQ(m_heard["exact"].names, expected);
}

TEST_F(BusDarwinNotifyCenterTest, APostFromAnotherThreadIsSentFromTheMainRunLoop)
{
    observe("main", "com.velloq.ProfileDeletedNotification");
    std::thread background([] { notify_post("com.velloq.ProfileDeletedNotification"); });
    background.join();
    ASSERT_TRUE(waitFor([&] { return heardBy("main", "com.velloq.ProfileDeletedNotification") == 1; }));
    EXPECT_EQ(m_heard["main"].threads, std::vector<std::thread::id> { std::this_thread::get_id() });
}

TEST_F(BusDarwinNotifyCenterTest, ANameTheBusCannotCarryIsRefusedWithALogLine)
{
    observe("main", "com.velloq.End");
    notify_post("com.velloq.\xff\xfe");
    notify_post("com.velloq.End");
    ASSERT_TRUE(waitFor([&] { return heardBy("main", "com.velloq.End") == 1; }));
    EXPECT_EQ(logCount("Darwin notify center: cannot post \"com.velloq.\xff\xfe\""), 1u);
}
