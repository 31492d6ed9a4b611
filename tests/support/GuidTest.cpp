#include "support/Guid.h"

#include <gtest/gtest.h>
#include <set>

namespace quillon {
namespace {

TEST(Guid, RegistryFormUpperCaseVersion4AndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string g = NewGuidString();
        ASSERT_TRUE(IsGuidString(g)) << g;
        EXPECT_EQ(g[15], '4');
        EXPECT_NE(std::string("89AB").find(g[20]), std::string::npos) << g;
        EXPECT_EQ(g.find_first_of("abcdef"), std::string::npos) << g;
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_FALSE(IsGuidString("{6D1E8A40-3C2B-4F1A-9E57-2B8C0D4A7F1}"));
    EXPECT_FALSE(IsGuidString("6D1E8A40-3C2B-4F1A-9E57-2B8C0D4A7F11"));
    EXPECT_FALSE(IsGuidString("{6D1E8A40+3C2B-4F1A-9E57-2B8C0D4A7F11}"));
}

} // namespace
} // namespace quillon
