// Direction codes, identifiers and pair names.
#include "descriptions/LanguageDirections.h"

#include "platform/Ports.h"
#include "platform/StringTable.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillon {
namespace {

constexpr char kLetters[] = "ERGFISPLD";

TEST(DirectionFromCode, ReadsTwoLettersIgnoringCaseAndTheRest) {
    EXPECT_EQ(DirectionFromCode("gr"), 0x00020004u);
    EXPECT_EQ(DirectionFromCode("GR"), 0x00020004u);
    EXPECT_EQ(DirectionFromCode("GRX"), 0x00020004u);
    EXPECT_EQ(DirectionFromCode("eR"), 0x00020001u);
    EXPECT_EQ(DirectionFromCode("ER"), 131073u);
    EXPECT_EQ(DirectionFromCode("DD"), 0x01000100u);
}

TEST(DirectionFromCode, AnswersZeroForTextThatIsNoCode) {
    EXPECT_EQ(DirectionFromCode("G"), 0u);
    EXPECT_EQ(DirectionFromCode("X"), 0u);
    EXPECT_EQ(DirectionFromCode("RX"), 0u);
    EXPECT_EQ(DirectionFromCode("XR"), 0u);
    EXPECT_EQ(DirectionFromCode(""), 0u);
    EXPECT_EQ(DirectionFromCode(" ER"), 0u);
    EXPECT_EQ(DirectionFromCode(std::string("E\0R", 3)), 0u);
    EXPECT_EQ(DirectionFromCode("Ан"), 0u); // Cyrillic letters are not codes
}

TEST(CodeFromDirection, RoundTripsEveryPairOfTheTable) {
    int pairs = 0;
    for (const char* s = kLetters; *s; ++s) {
        for (const char* t = kLetters; *t; ++t) {
            const std::string code{*s, *t};
            const DirectionId id = DirectionFromCode(code);
            ASSERT_NE(id, 0u) << code;
            EXPECT_EQ(CodeFromDirection(id), code);
            // Exactly one bit in each half.
            EXPECT_EQ(__builtin_popcount(id & 0xFFFFu), 1) << code;
            EXPECT_EQ(__builtin_popcount(id >> 16), 1) << code;
            EXPECT_EQ(id >> 16, DirectionFromCode(std::string{*t, *t}) & 0xFFFFu) << code;
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 81);
    EXPECT_EQ(DirectionFromCode("EE"), 0x00010001u);
    EXPECT_EQ(DirectionFromCode("DR"), 0x00020100u);
    EXPECT_EQ(DirectionFromCode("RD"), 0x01000002u);
}

TEST(CodeFromDirection, IsEmptyUnlessEachHalfIsExactlyOneLanguage) {
    EXPECT_EQ(CodeFromDirection(0x00020001), "ER");
    EXPECT_EQ(CodeFromDirection(0x00020003), ""); // two source bits
    EXPECT_EQ(CodeFromDirection(0x00060001), ""); // two target bits
    EXPECT_EQ(CodeFromDirection(0), "");
    EXPECT_EQ(CodeFromDirection(0x00000001), ""); // no target
    EXPECT_EQ(CodeFromDirection(0x00020000), ""); // no source
    EXPECT_EQ(CodeFromDirection(0x00020200), ""); // source bit beyond the table
    EXPECT_EQ(CodeFromDirection(0x02000001), ""); // target bit beyond the table
    EXPECT_EQ(CodeFromDirection(0x80000001), "");
}

TEST(PairName, GivesTheThreeAdjectiveForms) {
    EXPECT_EQ(PairName(0x00010002, PairForm::Masculine), "Русско-английский");
    EXPECT_EQ(PairName(0x00010002, PairForm::Feminine), "Русско-английская");
    EXPECT_EQ(PairName(0x00010002, PairForm::Plural), "Русско-английские");
    EXPECT_EQ(PairName(0x00020001, PairForm::Masculine), "Англо-русский");
    EXPECT_EQ(PairName(0x00020001, PairForm::Feminine), "Англо-русская");
    EXPECT_EQ(PairName(0x00020001, PairForm::Plural), "Англо-русские");
}

TEST(PairName, NamesEveryLanguageOfTheTable) {
    const std::map<std::string, std::string> expected = {
        {"ER", "Англо-русский"},         {"RG", "Русско-немецкий"},
        {"GF", "Немецко-французский"},   {"FI", "Французско-итальянский"},
        {"IS", "Итальянско-испанский"},  {"SP", "Испанско-португальский"},
        {"PL", "Португальско-польский"}, {"LD", "Польско-голландский"},
        {"DE", "Голландско-английский"}, {"DD", "Голландско-голландский"},
    };
    for (const auto& [code, name] : expected)
        EXPECT_EQ(PairName(DirectionFromCode(code), PairForm::Masculine), name) << code;
    EXPECT_EQ(PairName(DirectionFromCode("LS"), PairForm::Feminine), "Польско-испанская");
    EXPECT_EQ(PairName(DirectionFromCode("FP"), PairForm::Plural), "Французско-португальские");
}

TEST(PairName, IsEmptyForAnInvalidIdentifier) {
    EXPECT_EQ(PairName(0, PairForm::Masculine), "");
    EXPECT_EQ(PairName(0x00020003, PairForm::Feminine), "");
    EXPECT_EQ(PairName(0x00060001, PairForm::Plural), "");
    EXPECT_EQ(PairName(0x00000001, PairForm::Masculine), "");
}

// A translated catalogue stands in front of the built-in texts.
class EnglishTable : public StringTable {
public:
    std::optional<std::string> Find(int id) const override {
        switch (id) {
        case 1018:
            return "%s to %s";
        case 1019:
            return "English";
        case 1025:
            return "Russian (кий)";
        default:
            return std::nullopt;
        }
    }
};

TEST(PairName, ComesFromTheInstalledStringTable) {
    EnglishTable table;
    Ports replacement;
    replacement.strings = &table;
    ScopedPorts scope(replacement);
    EXPECT_EQ(PairName(0x00020001, PairForm::Masculine), "English to Russian (кий)");
    EXPECT_EQ(PairName(0x00020001, PairForm::Plural), "English to Russian (кие)");
    // Texts the catalogue lacks fall back to the built-in ones.
    EXPECT_EQ(PairName(0x00010002, PairForm::Masculine), "Русско to английский");
}

} // namespace
} // namespace quillon
