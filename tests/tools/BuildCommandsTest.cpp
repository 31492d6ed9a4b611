// quillon-dist build, run as the program; the result is read back with the installer's own
// readers (profile store, description-file readers, unpacker, compound files, working copies).
#include "DictionaryFile.h"
#include "descriptions/DescriptionFiles.h"
#include "descriptions/LanguageDirections.h"
#include "descriptions/XCryptedProfile2.h"
#include "distribution/KldoInifileManager.h"
#include "install/UnpackFile.h"
#include "support/CompoundFile.h"
#include "support/Storage.h"
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

// quillon-dist run through the shell, standard error merged into the output.
test::ProgramResult Dist(const std::string& arguments) {
    return test::RunProgram(test::ShellQuote(QUILLON_DIST_PROGRAM) + " " + arguments);
}

std::string Q(const std::string& s) { return test::ShellQuote(s); }

const std::string kSample = std::string(QUILLON_SOURCE_DIR) + "/samples/demo/demo.manifest";

// Names in a folder (to find leftovers of a failed build).
std::set<std::string> Listing(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

std::set<std::string> AsSet(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

// The word list of a sample dictionary as the builder should have compiled it.
std::vector<kaldo::DictionaryEntry> SampleWords(const std::string& name) {
    std::vector<kaldo::DictionaryEntry> out;
    const std::string text =
        ReadFile(std::string(QUILLON_SOURCE_DIR) + "/samples/demo/words/" + name);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        kaldo::DictionaryEntry e;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            (e.word.empty() ? e.word : e.lines.emplace_back()) = line.substr(start, tab - start);
        e.lines.push_back(line.substr(start));
        out.push_back(e);
    }
    return out;
}

TEST(BuildCommand, SampleReadsBackThroughTheInstallersReaders) {
    TempDir dir;
    const std::string out = dir / "dist";
    const test::ProgramResult r = Dist("build " + Q(kSample) + " " + Q(out));
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(Listing(dir.Path()), std::set<std::string>{"dist"})
        << "no working folder is left beside it";

    CXCryptedProfile2 raviriStore(1), setupStore(1);
    ASSERT_TRUE(raviriStore.Load(out + "/RAVIRI.INF"));
    ASSERT_TRUE(setupStore.Load(out + "/SETUP.INI"));
    CRaviriInf raviri(raviriStore, "R");
    CSetupIni setup(setupStore, "R");

    EXPECT_EQ(AsSet(raviri.CollectionIds()), (std::set<std::string>{"1", "2"}));
    EXPECT_EQ(raviri.CollectionDisplayName("1"), "Общая лексика");
    EXPECT_EQ(raviri.CollectionDisplayName("2"), "Техника и компьютеры");
    EXPECT_EQ(AsSet(raviri.ProfileKeys("1")),
              (std::set<std::string>{"ER_GENERAL", "GR_GENERAL", "FR_GENERAL"}));
    EXPECT_EQ(AsSet(raviri.ProfileKeys("2")), (std::set<std::string>{"ER_TECH", "GR_TECH"}));
    EXPECT_EQ(setup.Comment(), "Демонстрационный дистрибутив Quillon");
    EXPECT_EQ(setup.Copyright(), "© Quillon, 2026. Словари собраны для демонстрации.");

    // Profiles: every entry the collection loader reads.
    const ItemEntries erTechItem = setup.ReadItem("ER_TECH");
    EXPECT_EQ(erTechItem.direction, "ER");
    EXPECT_EQ(erTechItem.name, "Техника и компьютеры");
    EXPECT_EQ(erTechItem.nameOnCD, "PROFILES/ER_TECH");
    EXPECT_EQ(erTechItem.size, static_cast<std::int32_t>(fs::file_size(out + "/PROFILES/ER_TECH")));
    EXPECT_EQ(ReadFile(out + "/PROFILES/ER_TECH"),
              ReadFile(std::string(QUILLON_SOURCE_DIR) + "/samples/demo/profiles/er_tech.prf"));
    const ProfileEntries erTech = setup.ReadProfile("ER_TECH");
    EXPECT_EQ(erTech.dictionaries, (std::vector<std::string>{"er_tech.dct", "er_common.dct"}));
    EXPECT_EQ(erTech.baseTM, std::vector<std::string>{"er_tech.tmb"});
    ASSERT_EQ(erTech.preprocessors.size(), 2u);
    EXPECT_EQ(erTech.preprocessors[1].key, "pp_units");
    EXPECT_EQ(erTech.preprocessors[1].uid, "{0A1B2C3D-4E5F-4061-9273-8495A6B7C8D9}");
    EXPECT_EQ(erTech.preprocessors[1].mask, 6);
    EXPECT_EQ(
        erTech.algorithms,
        (std::vector<AlgoSetting>{{"Style", "technical"}, {"Variants", "1"}, {"Units", "metric"}}));
    EXPECT_EQ(erTech.keywords, (std::vector<std::string>{"техника", "компьютеры"}));
    EXPECT_EQ(erTech.keywordsFile, "KEYWORDS/tech.kw");
    EXPECT_EQ(erTech.wwtFile, "WWT/er_tech.wwt");
    EXPECT_TRUE(fs::is_regular_file(out + "/KEYWORDS/tech.kw"));
    EXPECT_TRUE(fs::is_regular_file(out + "/WWT/er_tech.wwt"));
    EXPECT_EQ(erTech.showTransVariants, "auto"); // a quoted value is an "S" entry
    EXPECT_EQ(erTech.translitUnknown, "true");   // a number is an "I" entry
    EXPECT_EQ(setup.ReadProfile("ER_GENERAL").showTransVariants, "true");
    EXPECT_EQ(setup.ReadProfile("ER_GENERAL").translitUnknown, "false");
    EXPECT_EQ(setup.ReadItem("GR_GENERAL").nameOnCD, "") << "a profile without a file names none";
    EXPECT_EQ(setup.ReadItem("FR_GENERAL").direction, "FR");
    // Shared dictionaries: one section, listed by two profiles.
    EXPECT_EQ(setup.ReadProfile("ER_GENERAL").dictionaries,
              std::vector<std::string>{"er_common.dct"});
    EXPECT_EQ(setup.ReadProfile("GR_TECH").dictionaries,
              (std::vector<std::string>{"gr_tech.dct", "gr_common.dct"}));
    EXPECT_EQ(setup.ReadProfile("GR_GENERAL").dictionaries,
              std::vector<std::string>{"gr_common.dct"});

    // Dictionaries: packed at their NameOnCD; unpacked they are the word lists compiled.
    const std::pair<const char*, const char*> dicts[] = {{"er_common.dct", "ER"},
                                                         {"er_tech.dct", "ER"},
                                                         {"gr_common.dct", "GR"},
                                                         {"gr_tech.dct", "GR"},
                                                         {"fr_common.dct", "FR"}};
    for (const auto& [key, code] : dicts) {
        SCOPED_TRACE(key);
        const ItemEntries item = setup.ReadItem(key);
        EXPECT_EQ(item.direction, code);
        EXPECT_FALSE(item.name.empty());
        EXPECT_EQ(item.nameOnCD, std::string("DICT/") + key);
        const std::string packed = out + "/" + item.nameOnCD;
        EXPECT_EQ(VerifyPackedFile(packed), kUnpackOk);
        const std::string unpacked = dir / (std::string("unpacked-") + key);
        ASSERT_EQ(UnpackFile(packed, unpacked, nullptr, nullptr), kUnpackOk);
        EXPECT_EQ(item.size, static_cast<std::int32_t>(fs::file_size(unpacked)));
        std::string error;
        const auto file = kaldo::ReadDictionaryFile(unpacked, error);
        ASSERT_TRUE(file) << error;
        EXPECT_EQ(CodeFromDirection(file->DirectionId()), code);
        std::string list = key;
        list = list.substr(0, list.find('.')) + ".txt";
        EXPECT_EQ(file->Entries(), SampleWords(list));
    }
    EXPECT_EQ(setup.ReadItem("gr_tech.dct").name, "Техника (нем.)");

    // TM bases are copied as they are.
    const ItemEntries tm = setup.ReadItem("er_tech.tmb");
    EXPECT_EQ(tm.direction, "ER");
    EXPECT_EQ(tm.nameOnCD, "TM/er_tech.tmb");
    const std::string tmSource =
        ReadFile(std::string(QUILLON_SOURCE_DIR) + "/samples/demo/tm/er_tech.tmx");
    EXPECT_EQ(ReadFile(out + "/TM/er_tech.tmb"), tmSource);
    EXPECT_EQ(tm.size, static_cast<std::int32_t>(tmSource.size()));
}

TEST(BuildCommand, SetupInfHoldsTheSameDescriptionsAsStreams) {
    TempDir dir;
    ASSERT_EQ(Dist("build " + Q(kSample) + " " + Q(dir / "plain")).code, 0);
    const test::ProgramResult r = Dist("build " + Q(kSample) + " " + Q(dir / "inf") + " --setup-inf");
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_FALSE(fs::exists(dir / "inf/RAVIRI.INF"));
    EXPECT_FALSE(fs::exists(dir / "inf/SETUP.INI"));

    CompoundFile file;
    ASSERT_TRUE(file.Open(dir / "inf/setup.inf")) << file.Error();
    std::set<std::string> names;
    for (const auto& e : file.Elements()) {
        EXPECT_TRUE(e.isStream);
        names.insert(e.name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"RAVIRI.INF", "SETUP.INI"}));

    CStorage storage(dir / "inf/setup.inf");
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    ASSERT_TRUE(storage.ExtractStream("RAVIRI.INF", dir / "r", true));
    ASSERT_TRUE(storage.ExtractStream("SETUP.INI", dir / "s", true));
    // The descriptions do not depend on the container (dictionary GUIDs differ, sizes do not).
    EXPECT_EQ(ReadFile(dir / "r"), ReadFile(dir / "plain/RAVIRI.INF"));
    EXPECT_EQ(ReadFile(dir / "s"), ReadFile(dir / "plain/SETUP.INI"));
    EXPECT_EQ(VerifyPackedFile(dir / "inf/DICT/gr_common.dct"), kUnpackOk);

    // The installer accepts it as a distribution.
    CKldoInifileManager manager;
    ASSERT_TRUE(manager.Prepare(dir / "inf"));
    CXCryptedProfile2 store(1);
    ASSERT_TRUE(store.Load(manager.GetMainDescriptionPath()));
    EXPECT_EQ(AsSet(CRaviriInf(store, "R").CollectionIds()), (std::set<std::string>{"1", "2"}));
}

// A small manifest whose lines the error cases below change.
struct SmallDistribution {
    TempDir dir;
    std::string manifest;
    SmallDistribution() {
        dir.Write("src/words.txt", "house\tдом\ncat\tкошка\n");
        dir.Write("src/base.tmx", "<tmx/>\n");
    }
    std::string Text(const std::string& extra = {}) const {
        return "[distribution]\n"        // 1
               "Comment.R = Проба\n"     // 2
               "[collection 7]\n"        // 3
               "Name.R = Коллекция\n"    // 4
               "Profiles = P1\n"         // 5
               "[profile P1]\n"          // 6
               "Direction = er\n"        // 7
               "Dictionaries = d1.dct\n" // 8
               "BaseTM = t1\n"           // 9
               "Name.R = Профиль\n"      // 10
               "[dictionary d1.dct]\n"   // 11
               "Direction = ER\n"        // 12
               "Words = src/words.txt\n" // 13
               "[tm t1]\n"               // 14
               "Direction = ER\n"        // 15
               "File = src/base.tmx\n"   // 16
               + extra;
    }
    test::ProgramResult Build(const std::string& text, const std::string& options = {}) {
        manifest = dir.Write("m.manifest", text);
        return Dist("build " + Q(manifest) + " " + Q(dir / "out") + options);
    }
};

TEST(BuildCommand, SmallManifestBuildsWithDefaults) {
    SmallDistribution d;
    const test::ProgramResult r = d.Build(d.Text());
    ASSERT_EQ(r.code, 0) << r.output;
    CXCryptedProfile2 store(1);
    ASSERT_TRUE(store.Load(d.dir / "out/SETUP.INI"));
    CSetupIni setup(store, "R");
    EXPECT_EQ(setup.ReadItem("P1").direction, "ER") << "codes are written upper-case";
    EXPECT_EQ(setup.ReadItem("t1").nameOnCD, "TM/t1");
    EXPECT_EQ(setup.ReadItem("t1").size, 7);
    EXPECT_EQ(setup.ReadItem("d1.dct").nameOnCD, "DICT/d1.dct");
    EXPECT_EQ(VerifyPackedFile(d.dir / "out/DICT/d1.dct"), kUnpackOk);
}

TEST(BuildCommand, QuotedValuesMasksAndSharedFiles) {
    SmallDistribution d;
    d.dir.Write("src/shared.kw", "keyword\n");
    d.dir.Write("other/shared.kw", "another\n");
    const std::string extra = "[profile P2]\n"
                              "Direction = ER\n"
                              "Name.R = \"  Профиль \\\"два\\\"\\t; #1  \"\n"
                              "Preproc = pp ; \n"
                              "Preproc.pp = 0xFFFFFFFF\n"
                              "Keywords = src/shared.kw\n"
                              "ShowTransVariants = \"0\"\n"
                              "TranslitUnknown = 5\n"
                              "[preprocessor pp]\n"
                              "UID = {00000000-0000-4000-8000-000000000001}\n";
    std::string text = d.Text(extra);
    text.replace(text.find("BaseTM = t1\n"), 12, "BaseTM = t1\nKeywords = src/shared.kw\n");
    const test::ProgramResult r = d.Build(text);
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("warning: profile \"P2\" belongs to no collection"), std::string::npos)
        << r.output;
    CXCryptedProfile2 store(1);
    ASSERT_TRUE(store.Load(d.dir / "out/SETUP.INI"));
    CSetupIni setup(store, "R");
    EXPECT_EQ(setup.ReadItem("P2").name, "  Профиль \"два\"\t; #1  ");
    const ProfileEntries p2 = setup.ReadProfile("P2");
    ASSERT_EQ(p2.preprocessors.size(), 1u);
    EXPECT_EQ(p2.preprocessors[0].mask, -1);
    EXPECT_EQ(p2.showTransVariants, "0");
    EXPECT_EQ(p2.translitUnknown, "true");
    // One keywords file named by two profiles is placed once.
    EXPECT_EQ(p2.keywordsFile, "KEYWORDS/shared.kw");
    EXPECT_EQ(setup.ReadProfile("P1").keywordsFile, "KEYWORDS/shared.kw");
    EXPECT_EQ(ReadFile(d.dir / "out/KEYWORDS/shared.kw"), "keyword\n");

    // Another file of the same name cannot take that place.
    fs::remove_all(d.dir / "out");
    text.replace(text.find("Keywords = src/shared.kw\nShow"), 24, "Keywords = other/shared.kw");
    const test::ProgramResult clash = d.Build(text);
    EXPECT_EQ(clash.code, 1);
    EXPECT_NE(clash.output.find("\"KEYWORDS/shared.kw\" is already taken"), std::string::npos)
        << clash.output;
    EXPECT_FALSE(fs::exists(d.dir / "out"));
}

TEST(BuildCommand, ManifestErrorsNameTheLineAndWriteNothing) {
    struct Case {
        const char* what;
        std::string extra; // appended to the small manifest
        std::string from;  // a piece of it replaced by `to`
        std::string to;
        int line;
        const char* says;
    };
    const std::string tmFile = "File = src/base.tmx\n";
    const Case cases[] = {
        {"unknown dictionary", "", "Dictionaries = d1.dct\n", "Dictionaries = d1.dct; nope\n", 6,
         "no such section"},
        {"unknown profile in a collection", "", "Profiles = P1\n", "Profiles = P1; P2\n", 3,
         "no [profile] section"},
        {"unsafe key", "[dictionary ../evil]\nDirection = ER\nWords = src/words.txt\n", "", "", 17,
         "not a safe file name"},
        {"missing source", "", "Words = src/words.txt\n", "Words = src/missing.txt\n", 13,
         "not found"},
        {"bad direction", "", "Direction = er\n", "Direction = XR\n", 7, "not a direction code"},
        {"direction too long", "", "Direction = ER\nWords", "Direction = ERX\nWords", 12,
         "not a direction code"},
        {"escaping NameOnCD", "", tmFile, tmFile + "NameOnCD = TM/../../x\n", 17,
         "relative path inside the distribution"},
        {"absolute NameOnCD", "", tmFile, tmFile + "NameOnCD = /tmp/x\n", 17,
         "relative path inside the distribution"},
        {"unknown entry", "", "BaseTM = t1\n", "Basetm = t1\n", 9, "unknown entry \"Basetm\""},
        {"key used twice", "[preprocessor t1]\nUID = {00000000-0000-4000-8000-000000000000}\n", "",
         "", 17, "already used on line 14"},
        {"gap in Algo", "", "BaseTM = t1\n", "BaseTM = t1\nAlgo.1 = A|1\nAlgo.3 = B|2\n", 11,
         "Algo.3 without Algo.2"},
        {"NameOnCD taken apart from case", "", tmFile, tmFile + "NameOnCD = dict/D1.DCT\n", 17,
         "already taken (line 13)"},
        {"NameOnCD over a description file", "", tmFile, tmFile + "NameOnCD = setup.ini\n", 17,
         "by a description file"},
        {"empty list piece", "", "BaseTM = t1\n", "BaseTM = t1;;t2\n", 9, "empty piece"},
        {"no source for a dictionary", "", "Words = src/words.txt\n", "", 11, "exactly one source"},
        {"mask of an unlisted preprocessor", "", "BaseTM = t1\n", "BaseTM = t1\nPreproc.x = 1\n",
         10, "which Preproc does not list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmallDistribution d;
        std::string text = d.Text(c.extra);
        if (!c.from.empty()) {
            const auto at = text.find(c.from);
            ASSERT_NE(at, std::string::npos);
            text.replace(at, c.from.size(), c.to);
        }
        const test::ProgramResult r = d.Build(text);
        EXPECT_EQ(r.code, 1) << r.output;
        const std::string where = d.manifest + ":" + std::to_string(c.line) + ": ";
        EXPECT_NE(r.output.find(where), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(d.dir / "out"));
        EXPECT_EQ(Listing(d.dir.Path()), (std::set<std::string>{"m.manifest", "src"}));
    }
}

TEST(BuildCommand, FailureWhileWritingLeavesNoOutput) {
    SmallDistribution d;
    d.dir.Write("src/words.txt", "house\tдом\nbroken line without a tab\n");
    const test::ProgramResult r = d.Build(d.Text());
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("words.txt:2: expected a word, a tab and its translation"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(d.dir / "out"));
    EXPECT_EQ(Listing(d.dir.Path()), (std::set<std::string>{"m.manifest", "src"}))
        << "the working folder is removed";
}

TEST(BuildCommand, ExistingDictionaryFileIsPackedUnchanged) {
    SmallDistribution d;
    kaldo::DictionaryFile file;
    file.SetVersion(2);
    file.SetDirectionId(0x00020004); // GR, while the manifest says ER (first)
    file.SetGuid("{11111111-2222-4333-8444-555555555555}");
    file.Entries().push_back({"Haus", {"дом"}});
    std::string error;
    ASSERT_TRUE(kaldo::WriteDictionaryFile(d.dir / "src/given.dct", file, error)) << error;
    std::string text = d.Text();
    text.replace(text.find("Words = src/words.txt"), 21,
                 "File = src/given.dct\nSize = 4096\nNameOnCD = DATA\\given");
    // The file's own direction differs: the installer would refuse it (2025), so nothing is built.
    const test::ProgramResult refused = d.Build(text, " --setup-inf");
    EXPECT_EQ(refused.code, 1) << refused.output;
    EXPECT_NE(refused.output.find("warning: dictionary \"d1.dct\" is marked ER but its file says GR"),
              std::string::npos)
        << refused.output;
    EXPECT_NE(refused.output.find("error: [d1.dct] DATA\\given holds a dictionary of direction GR, its section "
                                  "declares ER: message 2025"),
              std::string::npos)
        << refused.output;
    EXPECT_FALSE(fs::exists(d.dir / "out"));
    file.SetDirectionId(0x00020001);
    ASSERT_TRUE(kaldo::WriteDictionaryFile(d.dir / "src/given.dct", file, error)) << error;
    const test::ProgramResult r = d.Build(text, " --setup-inf");
    ASSERT_EQ(r.code, 0) << r.output;
    ASSERT_EQ(UnpackFile(d.dir / "out/DATA/given", d.dir / "back.dct", nullptr, nullptr),
              kUnpackOk);
    EXPECT_EQ(ReadFile(d.dir / "back.dct"), ReadFile(d.dir / "src/given.dct"));
    CStorage storage(d.dir / "out/setup.inf");
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    ASSERT_TRUE(storage.ExtractStream("SETUP.INI", d.dir / "s", true));
    CXCryptedProfile2 store(1);
    ASSERT_TRUE(store.Load(d.dir / "s"));
    EXPECT_EQ(CSetupIni(store, "R").ReadItem("d1.dct").size, 4096) << "an explicit Size wins";
    EXPECT_EQ(CSetupIni(store, "R").ReadItem("d1.dct").nameOnCD, "DATA\\given");

    // A file that is not a dictionary is refused before anything is published.
    d.dir.Write("src/given.dct", "not a dictionary");
    EXPECT_EQ(d.Build(text, " --setup-inf").code, 1);
}

TEST(BuildCommand, OutputFolderAndUsage) {
    SmallDistribution d;
    fs::create_directory(d.dir / "out");
    const test::ProgramResult empty = d.Build(d.Text());
    EXPECT_EQ(empty.code, 0) << "an empty output folder is replaced: " << empty.output;
    const std::string before = ReadFile(d.dir / "out/SETUP.INI");
    const test::ProgramResult again = d.Build(d.Text());
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.output.find("already exists"), std::string::npos) << again.output;
    EXPECT_EQ(ReadFile(d.dir / "out/SETUP.INI"), before);

    EXPECT_EQ(Dist("build").code, 2);
    EXPECT_EQ(Dist("build " + Q(d.manifest)).code, 2);
    EXPECT_EQ(Dist("build " + Q(d.manifest) + " " + Q(d.dir / "x") + " --bogus").code, 2);
    EXPECT_EQ(Dist("build " + Q(d.dir / "none.manifest") + " " + Q(d.dir / "x")).code, 1);
    EXPECT_FALSE(fs::exists(d.dir / "x"));
}

} // namespace
} // namespace quillon
