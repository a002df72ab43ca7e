#include "platform/machinery/RandomToken.h"

#include <gtest/gtest.h>

#include <set>

TEST(RandomTokenTest, ThirtyTwoHexDigitsNeverTheSameTwice)
{
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        std::string token = randomToken();
        ASSERT_EQ(token.size(), 32u);
        EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
        EXPECT_TRUE(seen.insert(token).second) << token;
    }
}
