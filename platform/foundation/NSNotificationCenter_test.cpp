#include "platform/foundation/NSNotificationCenter.h"

#include "platform/foundation/DarwinNotifyCenter.h"

#include <gtest/gtest.h>
#include <thread>

TEST(NSNotificationCenter, DeliversByNameAndSenderInOrderOfRegistration)
{
    NSNotificationCenter center;
    auto sender = std::make_shared<NSObject>();
    auto other = std::make_shared<NSObject>();
    std::vector<std::string> calls;
    int a, b, c;
    center.addObserver(&a, "Changed", nullptr, [&](const NSNotification&) { calls.push_back("any sender"); });
    center.addObserver(&b, "Changed", sender, [&](const NSNotification&) { calls.push_back("this sender"); });
    center.addObserver(&c, "", nullptr, [&](const NSNotification& n) { calls.push_back("every name: " + n.name); });

    center.postNotificationName("Changed", other);
    center.postNotificationName("Changed", sender, { { "key", 1 } });
    center.postNotificationName("Other");
    EXPECT_EQ(calls, (std::vector<std::string> { "any sender", "every name: Changed", "any sender", "this sender",
                         "every name: Changed", "every name: Other" }));
}

TEST(NSNotificationCenter, AnObserverMayRemoveItselfAndOthersWhileBeingCalled)
{
    NSNotificationCenter center;
    int first, second;
    int firstCalls = 0, secondCalls = 0;
    center.addObserver(&first, "N", nullptr, [&](const NSNotification&) {
        ++firstCalls;
        center.removeObserver(&first);
        center.removeObserver(&second);
    });
    center.addObserver(&second, "N", nullptr, [&](const NSNotification&) { ++secondCalls; });
    center.postNotificationName("N");
    center.postNotificationName("N");
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
}

TEST(NSNotificationCenter, UserInfoAndSenderReachTheObserver)
{
    NSNotificationCenter center;
    auto sender = std::make_shared<NSObject>();
    NSNotification seen;
    int observer;
    center.addObserver(&observer, "N", nullptr, [&](const NSNotification& n) { seen = n; });
    center.postNotificationName("N", sender, { { "volume", 0.5 } });
    EXPECT_EQ(seen.object, sender);
    EXPECT_EQ(*seen.userInfo["volume"].asReal(), 0.5);
}

TEST(NSNotificationCenter, PostsFromAnotherThreadRunThereSynchronously)
{
    NSNotificationCenter center;
    int observer = 0;
    std::thread::id ranOn;
    center.addObserver(&observer, "N", nullptr, [&](const NSNotification&) { ranOn = std::this_thread::get_id(); });
    std::thread poster([&] { center.postNotificationName("N"); });
    std::thread::id posterId = poster.get_id();
    poster.join();
    EXPECT_EQ(ranOn, posterId);
}

TEST(DarwinNotifyCenter, InProcessCentreRecordsAndDeliversByName)
{
    InProcessDarwinNotifyCenter center;
    std::vector<std::string> heard;
    int observer;
    center.addObserver(&observer, "com.velloq.A", [&](const std::string& name) { heard.push_back(name); });
    center.post("com.velloq.A");
    center.post("com.velloq.B");
    center.removeObserver(&observer, "com.velloq.A");
    center.post("com.velloq.A");
    EXPECT_EQ(heard, std::vector<std::string> { "com.velloq.A" });
    EXPECT_EQ(center.postedNames(), (std::vector<std::string> { "com.velloq.A", "com.velloq.B", "com.velloq.A" }));
}
