#include "distribution/FormatGroupedNumber.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(FormatGroupedNumber, GroupsDigitsInThreesFromTheRight) {
    EXPECT_EQ(FormatGroupedNumber(0), "0");
    EXPECT_EQ(FormatGroupedNumber(7), "7");
    EXPECT_EQ(FormatGroupedNumber(999), "999");
    EXPECT_EQ(FormatGroupedNumber(1000), "1,000");
    EXPECT_EQ(FormatGroupedNumber(12345), "12,345");
    EXPECT_EQ(FormatGroupedNumber(123456), "123,456");
    EXPECT_EQ(FormatGroupedNumber(1234567), "1,234,567");
}

TEST(FormatGroupedNumber, HoldsSixtyFourBitCounts) {
    EXPECT_EQ(FormatGroupedNumber(4294967295u), "4,294,967,295");
    EXPECT_EQ(FormatGroupedNumber(4294967296ull), "4,294,967,296");
    EXPECT_EQ(FormatGroupedNumber(18446744073709551615ull), "18,446,744,073,709,551,615");
}

} // namespace
} // namespace quillon
