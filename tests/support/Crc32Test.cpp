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

// Every length and alignment, against a bit-at-a-time reference: the table path, the folding
// path for long inputs where the processor has one, and their tails agree.
TEST(Crc32, AgreesWithBitwiseReferenceAtEveryLength) {
    std::string data;
    for (int i = 0; i < 2200; ++i)
        data += static_cast<char>((i * 2654435761u) >> 13);
    for (std::size_t offset = 0; offset < 4; ++offset) {
        std::uint32_t reg = 0xFFFFFFFFu;
        for (std::size_t len = 0; offset + len <= data.size(); ++len) {
            if (len > 0) {
                reg ^= static_cast<unsigned char>(data[offset + len - 1]);
                for (int k = 0; k < 8; ++k)
                    reg = (reg & 1) ? 0xEDB88320u ^ (reg >> 1) : reg >> 1;
            }
            ASSERT_EQ(Crc32::Of(data.data() + offset, len), ~reg) << offset << " " << len;
        }
    }
}

} // namespace
} // namespace quillon
