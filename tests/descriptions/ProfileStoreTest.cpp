// The profile store's queries, index order and lookups, on stores loaded from record streams.
#include "ProfileFixtures.h"

#include "descriptions/ProfileHashMap.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace quillon::test {
namespace {

using Names = std::vector<std::string>;

CXCryptedProfile2 Loaded(const StreamBuilder& b, int wide = 1) {
    CXCryptedProfile2 store(wide);
    EXPECT_TRUE(LoadImage(store, b.Image())) << ProfileLoadErrorText(store.LastError());
    return store;
}

TEST(ProfileNameHash, FollowsTimes33OverUtf16Units) {
    // Worked by hand: "Info" = ((73*33+110)*33+102)*33+111 = 2746668, mod 17 = 12.
    EXPECT_EQ(ProfileNameHash("Info", TextForm::Wide), 2746668u);
    EXPECT_EQ(ProfileNameHash("Info", TextForm::Wide) % 17, 12u);
    EXPECT_EQ(ProfileNameHash("", TextForm::Wide), 0u);
    // One UTF-16 unit per Cyrillic letter: 'Я' is U+042F = 1071.
    EXPECT_EQ(ProfileNameHash("Я", TextForm::Wide), 1071u);
    // The narrow store hashes the Windows-1251 byte: 'Я' is 0xDF = 223.
    EXPECT_EQ(ProfileNameHash("Я", TextForm::Narrow), 223u);
    // A character outside the BMP is two surrogate units: 0xD83D*33 + 0xDE00.
    EXPECT_EQ(ProfileNameHash("\xF0\x9F\x98\x80", TextForm::Wide), 0xD83Du * 33u + 0xDE00u);
    // The arithmetic wraps in 32 bits: twelve '~' (126) overflow.
    std::uint32_t h = 0;
    for (int i = 0; i < 12; ++i)
        h = h * 33u + 126u;
    EXPECT_EQ(ProfileNameHash(std::string(12, '~'), TextForm::Wide), h);
}

TEST(ProfileIndexOrder, BucketsUpwardAndLatestFirstInAChain) {
    // Buckets: A=65->14, B->15, C->16, D=68->0, E->1, R=82->14 (shares A's chain).
    StreamBuilder b;
    b.Int(6);
    for (const char* name : {"A", "B", "C", "D", "E", "R"})
        b.Section(name, 0);
    const auto store = Loaded(b);
    EXPECT_EQ(SectionNames(store), (Names{"D", "E", "R", "A", "B", "C"}));

    StreamBuilder e;
    e.Int(1).Section("s", 4).I("A", 1).I("D", 2).I("R", 3).I("E", 4);
    const auto entries = Loaded(e);
    EXPECT_EQ(EntryNames(entries, "s"), (Names{"D", "E", "R", "A"}));
    EXPECT_EQ(entries.GetEntryTypeAt("s", 2), 'I');
    EXPECT_EQ(entries.GetInt("s", entries.GetEntryName("s", 2), 0), 3);
}

TEST(ProfileIndexOrder, NarrowTwinOrdersByCodePageBytes) {
    // 'B' is bucket 15 in both. 'Л' is U+041B = 1051 -> 14 in the wide store, but the byte 0xCB
    // = 203 -> 16 in the narrow one.
    StreamBuilder b;
    b.Int(2).Section("B", 0).Section("Л", 0);
    EXPECT_EQ(SectionNames(Loaded(b, 1)), (Names{"Л", "B"}));
    EXPECT_EQ(SectionNames(Loaded(b, 0)), (Names{"B", "Л"}));
}

TEST(ProfileNarrowTwin, KeepsWhatTheCodePageHoldsAndConvertsArguments) {
    StreamBuilder b;
    b.Int(1).Section("Раздел", 2).S("Имя", "текст 日本").I("Число", 7);
    const auto narrow = Loaded(b, 0);
    EXPECT_FALSE(narrow.IsWide());
    EXPECT_EQ(narrow.GetString("Раздел", "Имя"), "текст ??");
    EXPECT_EQ(narrow.GetInt("Раздел", "Число", 0), 7);
    const auto wide = Loaded(b, 1);
    EXPECT_EQ(wide.GetString("Раздел", "Имя"), "текст 日本");
    // A name with characters the code page lacks is looked up after the same conversion.
    StreamBuilder c;
    c.Int(1).Section("日", 1).I("x", 1);
    EXPECT_EQ(Loaded(c, 0).GetInt("本", "x", 0), 1);
    EXPECT_EQ(Loaded(c, 1).GetInt("本", "x", 0), 0);
}

TEST(ProfileQueries, EmptyStreamAndEmptySection) {
    StreamBuilder none;
    none.Int(0);
    const auto empty = Loaded(none);
    EXPECT_EQ(empty.GetSectionCount(), 0);
    EXPECT_EQ(empty.GetSectionName(0), "");
    EXPECT_EQ(empty.GetEntryCount("Info"), 0);
    EXPECT_EQ(empty.GetEntryName("Info", 0), "");
    EXPECT_EQ(empty.GetEntryType("Info", "x"), 0);
    EXPECT_EQ(empty.GetEntryTypeAt("Info", 0), 0);
    EXPECT_EQ(empty.GetInt("Info", "x", 42), 42);
    EXPECT_EQ(empty.GetString("Info", "x"), "");
    EXPECT_EQ(empty.GetBool("Info", "x"), 0);

    StreamBuilder one;
    one.Int(2).Section("Empty", 0).Section("Info", 1).I("Size", 3);
    const auto store = Loaded(one);
    EXPECT_EQ(store.GetSectionCount(), 2);
    EXPECT_EQ(store.GetEntryCount("Empty"), 0);
    EXPECT_EQ(SectionNames(store), (Names{"Empty", "Info"})); // buckets 9 and 12
    EXPECT_EQ(store.GetSectionName(2), "");                   // index equal to the count
    EXPECT_EQ(store.GetSectionName(-1), "");
    EXPECT_EQ(store.GetEntryName("Info", 1), "");
    EXPECT_EQ(store.GetEntryName("Info", -1), "");
    EXPECT_EQ(store.GetEntryTypeAt("Info", 1), 0);
    EXPECT_EQ(store.SourcePath(), "memory");
}

TEST(ProfileQueries, TypedGettersAndOtherTypes) {
    StreamBuilder b;
    b.Int(1).Section("s", 7);
    b.S("str", "")
        .S("num", "12")
        .I("int", -5)
        .I("zero", 0)
        .B("on", true)
        .B("off", false)
        .H("blob", {1, 2});
    const auto store = Loaded(b);
    EXPECT_EQ(store.GetEntryType("s", "str"), 'S');
    EXPECT_EQ(store.GetString("s", "str"), "");
    EXPECT_EQ(store.GetEntryType("s", "on"), 'B');
    EXPECT_EQ(store.GetBool("s", "on"), 1);
    EXPECT_EQ(store.GetInt("s", "on", 9), 1);
    EXPECT_EQ(store.GetBool("s", "off"), 0);
    EXPECT_EQ(store.GetInt("s", "off", 9), 0);
    EXPECT_EQ(store.GetInt("s", "int", 9), -5);
    EXPECT_EQ(store.GetBool("s", "int"), 1);
    EXPECT_EQ(store.GetBool("s", "zero"), 0);
    EXPECT_EQ(store.GetEntryType("s", "blob"), 'H');
    EXPECT_EQ(store.FindValue("s", "blob")->Data(), (Bytes{1, 2}));
    // Another type than asked for: the neutral answer, never a conversion.
    EXPECT_EQ(store.GetInt("s", "num", 9), 9);
    EXPECT_EQ(store.GetBool("s", "num"), 0);
    EXPECT_EQ(store.GetString("s", "int"), "");
    EXPECT_EQ(store.GetInt("s", "blob", 9), 9);
    EXPECT_EQ(store.GetString("s", "blob"), "");
}

TEST(ProfileQueries, NamesAreCaseSensitiveAndExact) {
    StreamBuilder b;
    b.Int(1).Section("Info", 2).S("Name.R", "x").S(" key", "blank");
    const auto store = Loaded(b);
    EXPECT_EQ(store.GetEntryCount("info"), 0);
    EXPECT_EQ(store.GetEntryCount("INFO"), 0);
    EXPECT_EQ(store.GetString("info", "Name.R"), "");
    EXPECT_EQ(store.GetString("Info", "name.r"), "");
    EXPECT_EQ(store.GetString("Info", "Name.R"), "x");
    EXPECT_EQ(store.GetString("Info", "key"), "");
    EXPECT_EQ(store.GetString("Info", " key"), "blank");
    EXPECT_EQ(store.GetString("Info ", "Name.R"), "");
}

TEST(ProfileQueries, TextsEndAtTheirFirstNul) {
    StreamBuilder b;
    b.Int(1).Section("s", 1).Text("na").Int('S').Raw({kTagText, 3, 0, 0, 0, 'a', 0, 0, 0, 'b', 0});
    const auto store = Loaded(b);
    EXPECT_EQ(store.GetString("s", "na"), "a");
}

TEST(ProfileLookup, FirstEqualNameInIndexOrderWins) {
    // Equal entry names: the one read last heads the chain and answers.
    StreamBuilder b;
    b.Int(1).Section("s", 4).I("dup", 1).I("other", 5).S("dup", "second").I("dup", 3);
    const auto store = Loaded(b);
    EXPECT_EQ(store.GetEntryCount("s"), 4);
    EXPECT_EQ(store.GetEntryType("s", "dup"), 'I');
    EXPECT_EQ(store.GetInt("s", "dup", 0), 3);
    // All four share bucket 10; the chain runs from the latest entry back.
    EXPECT_EQ(EntryNames(store, "s"), (Names{"dup", "dup", "other", "dup"}));
    EXPECT_EQ(store.GetEntryTypeAt("s", 0), 'I');
    EXPECT_EQ(store.GetEntryTypeAt("s", 1), 'S');
    const auto* section = store.Implementation().FindSection("s");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->Find("dup"), section->FindByWalk("dup"));
    EXPECT_EQ(section->Find("missing"), nullptr);
    EXPECT_EQ(section->FindByWalk("missing"), nullptr);

    // Equal section names: both are listed and counted; lookups find the later one.
    StreamBuilder c;
    c.Int(2).Section("Info", 1).I("a", 1).Section("Info", 1).I("b", 2);
    const auto twice = Loaded(c);
    EXPECT_EQ(twice.GetSectionCount(), 2);
    EXPECT_EQ(SectionNames(twice), (Names{"Info", "Info"}));
    EXPECT_EQ(twice.GetInt("Info", "b", 0), 2);
    EXPECT_EQ(twice.GetInt("Info", "a", 0), 0);
}

TEST(ProfileLookup, IndexAnswersAsTheWalkOnManyNames) {
    CXCryptedProfile2 store;
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
        names.push_back("k" + std::to_string(i % 1700)); // some names twice
    for (std::size_t i = 0; i < names.size(); ++i)
        store.AddEntry("s", names[i], CProfileValue::Int(static_cast<std::int32_t>(i)));
    const auto* section = store.Implementation().FindSection("s");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->EntryCount(), 3000);
    for (const std::string& name : names) {
        const CProfileValue* viaIndex = section->Find(name);
        ASSERT_EQ(viaIndex, section->FindByWalk(name)) << name;
        // The later duplicate (i >= 1700) answers.
        const int n = std::stoi(name.substr(1));
        EXPECT_EQ(viaIndex->Number(), n < 1300 ? n + 1700 : n);
    }
}

TEST(ProfileLoad, MissingFileFolderAndSecondLoad) {
    TempDir dir;
    CXCryptedProfile2 missing;
    EXPECT_FALSE(missing.Load(dir / "nothing.ini"));
    EXPECT_EQ(missing.LastError(), ProfileLoadError::Missing);
    EXPECT_EQ(missing.SourcePath(), "");

    CXCryptedProfile2 folder;
    EXPECT_FALSE(folder.Load(dir.Path()));
    EXPECT_EQ(folder.LastError(), ProfileLoadError::Unreadable);

    StreamBuilder b;
    b.Int(1).Section("Info", 1).I("Size", 7);
    const Bytes image = b.Image();
    const std::string path = dir.Write("SETUP.INI", std::string(image.begin(), image.end()));
    CXCryptedProfile2 store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_EQ(store.SourcePath(), path);
    EXPECT_EQ(store.GetInt("Info", "Size", 0), 7);
    // Loaded once: a second load changes nothing.
    StreamBuilder other;
    other.Int(0);
    const Bytes otherImage = other.Image();
    const std::string second =
        dir.Write("RAVIRI.INF", std::string(otherImage.begin(), otherImage.end()));
    EXPECT_FALSE(store.Load(second));
    EXPECT_EQ(store.LastError(), ProfileLoadError::AlreadyLoaded);
    EXPECT_EQ(store.SourcePath(), path);
    EXPECT_EQ(store.GetSectionCount(), 1);
}

TEST(ProfileLoad, UnreadableFileFailsCleanly) {
    TempDir dir;
    StreamBuilder b;
    b.Int(0);
    const Bytes image = b.Image();
    const std::string path = dir.Write("locked", std::string(image.begin(), image.end()));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    CXCryptedProfile2 store;
    const bool loaded = store.Load(path);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    EXPECT_FALSE(loaded);
    EXPECT_EQ(store.LastError(), ProfileLoadError::Unreadable);
}

} // namespace
} // namespace quillon::test
