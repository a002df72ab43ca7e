#include "platform/substrate/HookableMethod.h"
#include "platform/substrate/ObjCMethods.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(HookableMethod, AHookCallsTheSystemFirstThenAddsItsStep)
{
    std::vector<std::string> calls;
    HookableMethod<int(int)> method([&](int x) {
        calls.push_back("system");
        return x * 2;
    });
    HookableMethod<int(int)>::Implementation original;
    MSHookMessageEx(method, [&](int x) {
        int result = original(x);
        calls.push_back("hook");
        return result + 1;
    }, &original);
    EXPECT_EQ(method(5), 11);
    EXPECT_EQ(calls, (std::vector<std::string> { "system", "hook" }));

    // A second hook wraps the first.
    HookableMethod<int(int)>::Implementation first;
    MSHookMessageEx(method, [&](int x) { return first(x) * 10; }, &first);
    EXPECT_EQ(method(1), 30);
}

TEST(ObjCMethods, AddedMethodsAreFoundByClassAndSelectorOnlyOnce)
{
    using Handler = std::function<std::string(const std::string&)>;
    EXPECT_TRUE(class_addMethod("SpringBoard", "echo:", Handler([](const std::string& s) { return s; })));
    EXPECT_FALSE(class_addMethod("SpringBoard", "echo:", Handler([](const std::string&) { return std::string("other"); })));
    auto found = class_getMethodImplementation<Handler>("SpringBoard", "echo:");
    ASSERT_TRUE(found);
    EXPECT_EQ((*found)("hi"), "hi");
    EXPECT_FALSE((class_getMethodImplementation<Handler>("SBWiFiManager", "echo:")));
    EXPECT_FALSE((class_getMethodImplementation<int>("SpringBoard", "echo:")));
}
