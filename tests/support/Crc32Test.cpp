#include "support/Crc32.h"

#include <gtest/gtest.h>
#include <string>

namespace quillon {
namespace {

TEST(Crc32, KnownValuesAndSplitUpdates) {
    EXPECT_EQ(Crc32::Of("", 0), 0u);
    EXPECT_EQ(Crc32::Of("123456789", 9), 0xCBF43926u);
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += static_cast<char>(i * 7 + 3);
    // Any split of the input gives the same value as one pass (the 8-byte path and the tail).
    for (std::size_t cut : {0u, 1u, 7u, 8u, 9u, 500u, 999u}) {
        Crc32 c;
        c.Update(data.data(), cut);
        c.Update(data.data() + cut, data.size() - cut);
        EXPECT_EQ(c.Value(), Crc32::Of(data.data(), data.size())) << cut;
    }
}

} // namespace
} // namespace quillon
