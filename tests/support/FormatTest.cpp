#include "support/Format.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Format, SpecifiersOfTheStringTable) {
    EXPECT_EQ(FormatText("%s коллекция словарей \"%s\"", {std::string("Англо-русская"), std::string("Бизнес")}),
              "Англо-русская коллекция словарей \"Бизнес\"");
    EXPECT_EQ(FormatText("Устанавливается %d-й словарь", {std::int64_t{3}}), "Устанавливается 3-й словарь");
    EXPECT_EQ(FormatText("(0x%lX)", {std::int64_t{0x800F0024}}), "(0x800F0024)");
    EXPECT_EQ(FormatText("%08x|%5d|%%", {std::int64_t{255}, std::int64_t{42}}), "000000ff|   42|%");
}

TEST(Format, MismatchedTemplatesStaySafe) {
    EXPECT_EQ(FormatText("%s and %s", {std::string("one")}), "one and ");
    EXPECT_EQ(FormatText("%d", {std::string("text")}), "text");
    EXPECT_EQ(FormatText("%s", {std::int64_t{-5}}), "-5");
    EXPECT_EQ(FormatText("%n %p tail %", {}), "%n %p tail %");
}

} // namespace
} // namespace quillon
