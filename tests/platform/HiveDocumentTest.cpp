#include "platform/posix/HiveDocument.h"
#include "support/Text.h"

#include <gtest/gtest.h>

namespace quillon::posix {
namespace {

HiveDocument MustParse(std::string_view text) {
    std::string error;
    auto doc = HiveDocument::Parse(text, error);
    EXPECT_TRUE(doc.has_value()) << error;
    return doc ? std::move(*doc) : HiveDocument();
}

std::string ParseError(std::string_view text) {
    std::string error;
    EXPECT_FALSE(HiveDocument::Parse(text, error).has_value()) << text;
    return error;
}

std::string StringValue(HiveDocument& doc, std::string_view path, std::string_view name) {
    RegistryValue v;
    if (doc.QueryValue(RegistryRoot::LocalMachine, path, name, v) != regerr::Success)
        return "<missing>";
    return Utf16LeBytesToUtf8(v.data.data(), v.data.size());
}

constexpr std::string_view kSample = R"(Windows Registry Editor Version 5.00

; product keys
[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\KLDO9]
"KldoLangID"=dword:00000419
@="default text"
"Quote"="a \"quoted\" C:\\path"
"Bin"=hex:10,27
"Expand"=hex(2):25,00,54,00,00,00
"Multi"=hex(7):61,00,00,00,62,00,00,00,00,00
"Long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\
  18,19,1a,1b

[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\KLDO9\Folders]
"SharedRoot"="/opt/kaldo/shared"

[HKEY_USERS\S-1-5-21\Unknown]
"Kept"=hex(b):01,00,00,00,00,00,00,00
)";

TEST(HiveDocument, ReadsEveryValueType) {
    HiveDocument doc = MustParse(kSample);
    RegistryValue v;
    ASSERT_EQ(doc.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "KldoLangID", v), 0);
    EXPECT_EQ(v, RegistryValue::Dword(0x419));
    EXPECT_EQ(StringValue(doc, "SOFTWARE\\Velmar Soft\\KLDO9", ""), "default text");
    EXPECT_EQ(StringValue(doc, "software\\velmar soft\\kldo9", "quote"), "a \"quoted\" C:\\path");
    ASSERT_EQ(doc.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "Bin", v), 0);
    EXPECT_EQ(v, RegistryValue::Binary({0x10, 0x27}));
    ASSERT_EQ(doc.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "Expand", v), 0);
    EXPECT_EQ(v.type, 2u);
    EXPECT_EQ(StringValue(doc, "SOFTWARE\\Velmar Soft\\KLDO9", "Expand"), "%T");
    ASSERT_EQ(doc.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "Multi", v), 0);
    EXPECT_EQ(v.type, 7u);
    EXPECT_EQ(v.data.size(), 10u);
    ASSERT_EQ(doc.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "Long", v), 0);
    EXPECT_EQ(v.data.size(), 28u);
    EXPECT_EQ(v.data[27], 0x1b);
    EXPECT_EQ(StringValue(doc, "SOFTWARE\\Velmar Soft\\KLDO9\\Folders", "SharedRoot"), "/opt/kaldo/shared");
}

TEST(HiveDocument, UnchangedContentSurvivesAWrite) {
    HiveDocument doc = MustParse(kSample);
    ASSERT_EQ(doc.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "New", RegistryValue::Dword(7)), 0);
    const std::string out = doc.Serialize();
    // Comments, other roots, continuation lines and untouched values stay as written.
    for (std::string_view kept : {"; product keys", "[HKEY_USERS\\S-1-5-21\\Unknown]", "\"Kept\"=hex(b):01,00,00,00,00,00,00,00",
                                  "\"Quote\"=\"a \\\"quoted\\\" C:\\\\path\"", "0f,10,11,12,13,14,15,16,17,\\\n  18,19,1a,1b",
                                  "\"New\"=dword:00000007"})
        EXPECT_NE(out.find(kept), std::string::npos) << kept;
    // And the written file reads back to the same values.
    HiveDocument again = MustParse(out);
    RegistryValue a, b;
    for (const char* name : {"KldoLangID", "", "Quote", "Bin", "Expand", "Multi", "Long", "New"}) {
        ASSERT_EQ(doc.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", name, a), 0) << name;
        ASSERT_EQ(again.QueryValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", name, b), 0) << name;
        EXPECT_EQ(a, b) << name;
    }
}

TEST(HiveDocument, WrittenValuesOfEveryTypeReadBack) {
    HiveDocument doc;
    std::vector<std::uint8_t> big(300);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i);
    const std::vector<std::pair<std::string, RegistryValue>> values = {
        {"s", RegistryValue::String("Путь \"к\" C:\\dir")},
        {"d", RegistryValue::Dword(0xDEADBEEF)},
        {"b", RegistryValue::Binary(big)},
        {"e", RegistryValue{2, Utf8ToUtf16LeBytes("%HOME%", true)}},
        {"m", RegistryValue{7, {0x61, 0, 0, 0, 0, 0}}},
        {"nul", RegistryValue{1, {0x61, 0, 0, 0, 0x62, 0, 0, 0}}}, // interior NUL: kept as hex(1)
        {"empty", RegistryValue::Binary({})},
        {"", RegistryValue::String("default")},
    };
    for (const auto& [name, value] : values)
        ASSERT_EQ(doc.SetValue(RegistryRoot::CurrentUser, "Software\\Q", name, value), 0);
    HiveDocument again = MustParse(doc.Serialize());
    for (const auto& [name, value] : values) {
        RegistryValue read;
        ASSERT_EQ(again.QueryValue(RegistryRoot::CurrentUser, "Software\\Q", name, read), 0) << name;
        EXPECT_EQ(read, value) << name;
    }
}

TEST(HiveDocument, Utf16FileReadsAndStaysUtf16) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Т]\r\n\"Имя\"=\"Значение\"\r\n";
    const auto bytes = Utf8ToUtf16LeBytes(text, false);
    const std::string file = std::string("\xFF\xFE") + std::string(bytes.begin(), bytes.end());
    HiveDocument doc = MustParse(file);
    EXPECT_EQ(doc.FileEncoding(), HiveDocument::Encoding::Utf16Le);
    EXPECT_EQ(StringValue(doc, "SOFTWARE\\т", "имя"), "Значение");
    const std::string out = doc.Serialize();
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.substr(0, 2), "\xFF\xFE");
    HiveDocument again = MustParse(out);
    EXPECT_EQ(StringValue(again, "SOFTWARE\\Т", "Имя"), "Значение");
    // A UTF-16 file cut in the middle of a character does not load.
    EXPECT_NE(ParseError(file.substr(0, file.size() - 1)).find("odd length"), std::string::npos);
}

TEST(HiveDocument, DeletionLines) {
    HiveDocument doc = MustParse(R"(Windows Registry Editor Version 5.00
[HKEY_LOCAL_MACHINE\A]
"x"="1"
"y"="2"
[HKEY_LOCAL_MACHINE\A\B\C]
"z"="3"
[HKEY_LOCAL_MACHINE\A]
"x"=-
[-HKEY_LOCAL_MACHINE\A\B]
"ignored"="values after a deleted key belong to no key"
)");
    EXPECT_EQ(StringValue(doc, "A", "x"), "<missing>");
    EXPECT_EQ(StringValue(doc, "A", "y"), "2");
    EXPECT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, "A\\B", false), regerr::FileNotFound);
    EXPECT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, "A\\B\\C", false), regerr::FileNotFound);
}

TEST(HiveDocument, ParentKeysAreImpliedAndSubkeysEnumerateInNameOrder) {
    HiveDocument doc = MustParse(R"(Windows Registry Editor Version 5.00
[HKEY_LOCAL_MACHINE\Dirs\zeta]
[HKEY_LOCAL_MACHINE\Dirs\Alpha\deep]
[HKEY_LOCAL_MACHINE\Dirs\beta]
)");
    EXPECT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, "Dirs", false), 0);
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; doc.EnumSubkey(RegistryRoot::LocalMachine, "Dirs", i, name) == 0; ++i)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    EXPECT_EQ(doc.EnumSubkey(RegistryRoot::LocalMachine, "Dirs\\beta", 0, name), regerr::NoMoreItems);
    EXPECT_EQ(doc.EnumSubkey(RegistryRoot::LocalMachine, "Nowhere", 0, name), regerr::FileNotFound);
    // A key added or removed between two calls, and a copy, list from the tree as it is then.
    ASSERT_EQ(doc.EnumSubkey(RegistryRoot::LocalMachine, "Dirs", 1, name), 0);
    ASSERT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, "Dirs\\Aardvark", true), 0);
    ASSERT_EQ(doc.EnumSubkey(RegistryRoot::LocalMachine, "Dirs", 2, name), 0);
    EXPECT_EQ(name, "beta");
    ASSERT_EQ(doc.DeleteKey(RegistryRoot::LocalMachine, "Dirs\\beta"), 0);
    ASSERT_EQ(doc.EnumSubkey(RegistryRoot::LocalMachine, "Dirs", 2, name), 0);
    EXPECT_EQ(name, "zeta");
    HiveDocument copy = doc;
    ASSERT_EQ(copy.EnumSubkey(RegistryRoot::LocalMachine, "Dirs", 0, name), 0);
    EXPECT_EQ(name, "Aardvark");
}

TEST(HiveDocument, MalformedFilesReportTheirLine) {
    const std::string head = "Windows Registry Editor Version 5.00\n";
    EXPECT_EQ(ParseError("REGEDIT5\n"), "line 1: missing \"Windows Registry Editor Version 5.00\" header");
    EXPECT_NE(ParseError(head + "\"v\"=\"1\"\n").find("line 2: value before the first key"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A\n").find("line 2"), std::string::npos);
    EXPECT_NE(ParseError(head + "[A]\n").find("line 2: bad key name"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"d\"=dword:123456789\n").find("line 3: dword"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"d\"=dword:xyz\n").find("line 3"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"s\"=\"C:\\dir\"\n").find("line 3: bad quoted"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"s\"=\"open\n").find("line 3"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:1,2x\n").find("line 3: bad hex"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex(q):00\n").find("line 3"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=qword:00\n").find("unknown value type"), std::string::npos);
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\ngarbage\n").find("line 3"), std::string::npos);
    // A hex value continued right after its type, and a file cut inside a continuation.
    HiveDocument split = MustParse(head + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:\\\n  01,02\n");
    RegistryValue v;
    ASSERT_EQ(split.QueryValue(RegistryRoot::LocalMachine, "A", "h", v), 0);
    EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_NE(ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:01,\\").find("file ends inside"), std::string::npos);
    EXPECT_NE(ParseError("\x80\x81 not text").find("not UTF-8"), std::string::npos);
}

// A key path of `depth` levels below HKEY_LOCAL_MACHINE, each level named `level`.
std::string DeepPath(std::size_t depth, std::string_view level = "k") {
    std::string path;
    for (std::size_t i = 0; i < depth; ++i)
        (path += i ? "\\" : "") += level;
    return path;
}

// The bounds of the format: 512 levels, 255 characters for a key's name, 16 383 for a value's.
// A key 100 000 levels deep (a 200 KB file) is refused by its line at once; one at the bound
// reads, writes and reads back.
TEST(HiveDocument, KeyDepthAndNameLengthsAreBounded) {
    const std::string head = "Windows Registry Editor Version 5.00\n";
    EXPECT_EQ(ParseError(head + "[HKEY_LOCAL_MACHINE\\" + DeepPath(100000) + "]\n"),
              "line 2: key deeper than 512 levels");
    EXPECT_EQ(ParseError(head + "\n[-HKEY_LOCAL_MACHINE\\" + DeepPath(513) + "]\n"),
              "line 3: key deeper than 512 levels");
    EXPECT_EQ(ParseError(head + "[HKEY_LOCAL_MACHINE\\A\\" + std::string(256, 'n') + "]\n"),
              "line 2: key name longer than 255 characters");
    EXPECT_EQ(
        ParseError(head + "[HKEY_LOCAL_MACHINE\\A]\n\"" + std::string(16384, 'v') + "\"=dword:1\n"),
        "line 3: value name longer than 16383 characters");

    const std::string deepest = DeepPath(512, "ключ"); // characters, not bytes, are counted
    const std::string longName = std::string(254, 'n') + "я";
    HiveDocument doc =
        MustParse(head + "[HKEY_LOCAL_MACHINE\\" + deepest + "]\n\"" + std::string(16383, 'v') +
                  "\"=\"deep\"\n[HKEY_LOCAL_MACHINE\\" + longName + "]\n");
    EXPECT_EQ(StringValue(doc, deepest, std::string(16383, 'v')), "deep");
    EXPECT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, longName, false), regerr::Success);
    HiveDocument again = MustParse(doc.Serialize());
    EXPECT_EQ(StringValue(again, deepest, std::string(16383, 'v')), "deep");
    std::string name;
    EXPECT_EQ(again.EnumSubkey(RegistryRoot::LocalMachine, DeepPath(511, "ключ"), 0, name),
              regerr::Success);
    EXPECT_EQ(name, "ключ");

    // Calls beyond the bounds change nothing.
    EXPECT_EQ(doc.SetValue(RegistryRoot::LocalMachine, deepest + "\\one more", "v",
                           RegistryValue::Dword(1)),
              regerr::InvalidParameter);
    EXPECT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, "A\\" + std::string(256, 'n'), true),
              regerr::InvalidParameter);
    EXPECT_EQ(doc.SetValue(RegistryRoot::LocalMachine, "A", std::string(16384, 'v'),
                           RegistryValue::Dword(1)),
              regerr::InvalidParameter);
    EXPECT_EQ(doc.OpenKey(RegistryRoot::LocalMachine, "A", false), regerr::FileNotFound);
}

} // namespace
} // namespace quillon::posix
