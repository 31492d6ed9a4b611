// The text form: printing, compiling back, JSON, and the errors of a bad source.
#include "ProfileFixtures.h"

#include "descriptions/ProfileText.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

ProfileTextError ParseError(std::string_view text) {
    CXCryptedProfile2 store;
    ProfileTextError error;
    EXPECT_FALSE(ParseProfileText(text, store, error)) << text;
    return error;
}

TEST(ProfileText, CompilesEveryTypeAndEscape) {
    // A comment is a whole line only: text after a section name is refused.
    const ProfileTextError trailing = ParseError("# header\n"
                                                 "\n"
                                                 "section \"7 - templates\"\n"
                                                 "  S \" it\" \"\"\n"
                                                 "section \"Info\"   # trailing\n");
    EXPECT_EQ(trailing.line, 5);
    EXPECT_EQ(trailing.what, "unexpected text after the section name");

    CXCryptedProfile2 store;
    ProfileTextError error;
    ASSERT_TRUE(
        ParseProfileText("section \"Info\"\r\n"
                         "\tS \"Comment.R\" \"a \\\"q\\\" \\\\ \\n\\t\\r \\u0001\\u042f Я\"\r\n"
                         "I \"Size\" -2147483648\n"
                         "  I \"Max\" 2147483647\n"
                         "  B \"On\" 1\n"
                         "  H \"Blob\" 00fFa7\n"
                         "  H \"None\" \"\"\n"
                         "section \"\"\n",
                         store, error))
        << error.line << ": " << error.what;
    EXPECT_EQ(store.GetSectionCount(), 2);
    EXPECT_EQ(store.GetString("Info", "Comment.R"), "a \"q\" \\ \n\t\r \x01Я Я");
    EXPECT_EQ(store.GetInt("Info", "Size", 0), INT32_MIN);
    EXPECT_EQ(store.GetInt("Info", "Max", 0), INT32_MAX);
    EXPECT_EQ(store.GetEntryType("Info", "On"), 'B');
    EXPECT_EQ(store.GetBool("Info", "On"), 1);
    EXPECT_EQ(store.FindValue("Info", "Blob")->Data(), (Bytes{0, 0xFF, 0xA7}));
    EXPECT_EQ(store.GetEntryType("Info", "None"), 'H');
    EXPECT_TRUE(store.FindValue("Info", "None")->Data().empty());
    EXPECT_EQ(store.GetEntryCount(""), 0);
    EXPECT_EQ(store.GetSectionName(0) + "|" + store.GetSectionName(1), "|Info"); // bucket 0 and 12
}

TEST(ProfileText, PrintedFormCompilesBackToAnEqualStore) {
    StreamBuilder b;
    b.Int(3)
        .Section("Info", 5)
        .S("Comment.R", "строка \"x\"\n\t\x01")
        .I("Size", -1)
        .B("F", false)
        .H("E", {});
    b.H("H", {0xde, 0xad});
    b.Section("Info", 1).S("dup", "second section of the same name");
    b.Section("s", 3).I("dup", 1).I("dup", 2).S(" lead", " blank");
    CXCryptedProfile2 loaded;
    ASSERT_TRUE(LoadImage(loaded, b.Image()));
    const std::string text = PrintProfileText(loaded);
    CXCryptedProfile2 compiled;
    ProfileTextError error;
    ASSERT_TRUE(ParseProfileText(text, compiled, error)) << error.line << ": " << error.what << "\n"
                                                         << text;
    ExpectSameAnswers(loaded, compiled);
    EXPECT_EQ(PrintProfileText(compiled), text);
    EXPECT_NE(text.find("  S \"Comment.R\" \"строка \\\"x\\\"\\n\\t\\u0001\"\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  H \"E\" \"\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  H \"H\" dead\n"), std::string::npos) << text;
}

TEST(ProfileText, JsonListsIndexOrderWithTypedValues) {
    StreamBuilder b;
    // Sections A (bucket 14) then D (bucket 0); entries a (12) then b (13), D's entry in bucket 0.
    b.Int(2).Section("A", 2).S("a", "q\"\\\n\x01/").H("b", {0xAB, 0x01});
    b.Section("D", 2).I("D", -3).B("b", true);
    CXCryptedProfile2 store;
    ASSERT_TRUE(LoadImage(store, b.Image()));
    EXPECT_EQ(PrintProfileJson(store),
              "{\"sections\":["
              "{\"name\":\"D\",\"entries\":[{\"name\":\"D\",\"type\":\"I\",\"value\":-3},"
              "{\"name\":\"b\",\"type\":\"B\",\"value\":1}]},"
              "{\"name\":\"A\",\"entries\":[{\"name\":\"a\",\"type\":\"S\",\"value\":"
              "\"q\\\"\\\\\\n\\u0001/\"},"
              "{\"name\":\"b\",\"type\":\"H\",\"value\":\"ab01\"}]}"
              "]}\n");
    CXCryptedProfile2 empty;
    EXPECT_EQ(PrintProfileJson(empty), "{\"sections\":[]}\n");
}

TEST(ProfileText, ErrorsNameTheirLine) {
    using namespace std::literals;
    struct Case {
        std::string_view text;
        int line;
        const char* what;
    } cases[] = {
        {"S \"a\" \"b\"\n"sv, 1, "entry before the first section"},
        {"section Info\n"sv, 1, "section name must be quoted"},
        {"section \"Info\"\n\nS a \"b\"\n"sv, 3, "entry name must be quoted"},
        {"section \"Info\"\nS \"a\"\n"sv, 2, "entry without a value"},
        {"section \"Info\"\nS \"a\" b\n"sv, 2, "S value must be quoted"},
        {"section \"Info\"\nS \"a\" \"b\n"sv, 2, "unterminated string"},
        {"section \"Info\"\nS \"a\" \"b\\\n"sv, 2, "unterminated string"},
        {"section \"Info\"\nS \"a\" \"\\q\"\n"sv, 2, "unknown escape \\q"},
        {"section \"Info\"\nS \"a\" \"\\u00g1\"\n"sv, 2, "\\u needs four hex digits"},
        {"section \"Info\"\nS \"a\" \"\\u0000\"\n"sv, 2, "\\u escape of NUL or a surrogate"},
        {"section \"Info\"\nS \"a\" \"\\ud800\"\n"sv, 2, "\\u escape of NUL or a surrogate"},
        {"section \"Info\"\nI \"a\" 2147483648\n"sv, 2, "bad integer \"2147483648\""},
        {"section \"Info\"\nI \"a\" 12x\n"sv, 2, "bad integer \"12x\""},
        {"section \"Info\"\nI \"a\" \"12\"\n"sv, 2, "bad integer \"12\""},
        {"section \"Info\"\nB \"a\" 2\n"sv, 2, "B value must be 0 or 1"},
        {"section \"Info\"\nH \"a\" abc\n"sv, 2, "H value needs an even number of hex digits"},
        {"section \"Info\"\nH \"a\" zz\n"sv, 2, "H value holds a non-hex digit"},
        {"section \"Info\"\nI \"a\" 1 2\n"sv, 2, "unexpected text after the value"},
        {"section \"Info\"\nX \"a\" 1\n"sv, 2,
         "unknown keyword \"X\" (expected section, S, I, B or H)"},
        {"section \"Info\"\n\"a\" 1\n"sv, 2, "expected \"section\" or an entry type (S, I, B, H)"},
        {"section \"Info\"\nS \"a\" \"\xC3\x28\"\n"sv, 2, "invalid UTF-8"},
        {"section \"Info\"\nS \"a\" \"x\0y\"\n"sv, 2, "NUL character"},
    };
    for (const Case& c : cases) {
        const ProfileTextError e = ParseError(c.text);
        EXPECT_EQ(e.line, c.line) << c.text;
        EXPECT_EQ(e.what, c.what) << c.text;
    }
}

} // namespace
} // namespace quillon::test
