#include "support/Text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Text, Utf8AndUtf16RoundTrip) {
    const std::string text = "Инсталлятор словарей — KALDO ✓ 𝄞";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    const auto bytes = Utf8ToUtf16LeBytes("Aб", true);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x41, 0x00, 0x31, 0x04, 0x00, 0x00}));
    EXPECT_EQ(Utf16LeBytesToUtf8(bytes.data(), bytes.size()), "Aб");
}

TEST(Text, InvalidInputNeverReadsPastItsEnd) {
    // A lead byte announcing three more bytes at the very end of the input.
    const std::string cut = "ab\xF0\x9F";
    EXPECT_EQ(Utf8ToUtf16(cut), u"ab\uFFFD");
    // An overlong encoding of '/' is not a slash.
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");
    // An odd byte count drops the last byte; an unpaired surrogate becomes U+FFFD.
    const std::uint8_t odd[] = {0x41, 0x00, 0x00, 0xD8, 0x42};
    EXPECT_EQ(Utf16LeBytesToUtf8(odd, sizeof odd), "A\xEF\xBF\xBD");
}

TEST(Text, CaseFoldingCoversLatinAndCyrillic) {
    EXPECT_TRUE(EqualsNoCase("SETUP.INI", "setup.ini"));
    EXPECT_TRUE(EqualsNoCase("СЛОВАРЬ Ёлка", "словарь ёлка"));
    EXPECT_FALSE(EqualsNoCase("setup.ini", "setup.inf"));
    EXPECT_FALSE(EqualsNoCase("е", "ё"));
}

TEST(Text, Cp1251) {
    EXPECT_EQ(Utf8ToCp1251("Яблоко №1"), "\xDF\xE1\xEB\xEE\xEA\xEE \xB9\x31");
    EXPECT_EQ(Cp1251ToUtf8("\xDF\xE1\xEB\xEE\xEA\xEE"), "Яблоко");
    EXPECT_EQ(Utf8ToCp1251("日本"), "??");
}

} // namespace
} // namespace quillon
