// quillon-cli plan against the reference product: its items are what install then does, item by
// item, and the product's journal shows only reading calls while it runs.
#include "CliFixture.h"
#include "DictionaryFile.h"
#include "install/Packer.h"

#include <fstream>
#include <sys/stat.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

class PlanTest : public test::CliFixture {
protected:
    // "kind key installs message" per item of plan's or install's JSON object, then its result.
    std::string Items(const std::string& json) const {
        return Python("d = json.loads(sys.stdin.read())\n"
                      "for i in d['items']:\n"
                      "    print(i['kind'], i['key'], i.get('installs', i.get('installed')), "
                      "i.get('message', ''))\n"
                      "print(d['result'], d['exitCode'])",
                      json);
    }
    // Plans, checks that the journal shows only reading calls meanwhile, installs with the same
    // arguments and checks that install did what the plan said; answers the plan's items.
    std::string PlanThenInstall(const std::string& arguments) {
        const std::size_t before = JournalLines();
        const auto plan = Cli("plan " + arguments + " --json");
        const std::string operations = JournalOperationsSince(before);
        EXPECT_NE(operations, "") << "the plan asked the kernel nothing";
        for (std::size_t at = 0; at < operations.size();) {
            const std::size_t end = operations.find('\n', at);
            const std::string op = operations.substr(at, end - at);
            at = end + 1;
            const bool reading = op == "Login" || op == "OpenDictionary" ||
                                 op == "DictFileService.Open" || op.starts_with("Get") ||
                                 op.starts_with("Catalogue.Get") ||
                                 op.starts_with("DictFile.Get") || op == "DictFile.ReadHeader";
            EXPECT_TRUE(reading) << "changing call during plan: " << op;
        }
        const auto install = Cli("install " + arguments + " --yes --json");
        EXPECT_EQ(plan.code, install.code) << plan.output << "\n" << install.output;
        const std::string planned = Items(plan.output);
        // Install's items carry installed and no message: compare kind, key and installs.
        std::string expected;
        for (std::size_t at = 0; at < planned.size();) {
            const std::size_t end = planned.find('\n', at);
            std::string line = planned.substr(at, end - at);
            at = end + 1;
            if (std::count(line.begin(), line.end(), ' ') == 3)
                line = line.substr(0, line.rfind(' ')) + " ";
            expected += line + "\n";
        }
        EXPECT_EQ(Items(install.output), expected) << plan.output << "\n" << install.output;
        return planned;
    }
};

TEST_F(PlanTest, PredictsTheDemoInstallationsItemByItem) {
    ASSERT_EQ(kaldo::test::RunProductTool({"init", root_, "--directions", "ER,RE,GR"}), 0);
    EXPECT_EQ(PlanThenInstall(ShellQuote(dist_) + " --collection 1"),
              "dictionary er_common.dct True 0\n"
              "tm er_general.tmb True 0\n"
              "profile er_general True 0\n"
              "dictionary gr_common.dct True 0\n"
              "profile gr_general True 0\n"
              "installed 0\n");
    // Collection 2 shares its dictionaries with collection 1: the kernel has them already
    // (message 1), which is no failure.
    EXPECT_EQ(PlanThenInstall(ShellQuote(dist_) + " --collection 2"),
              "dictionary er_tech.dct True 0\n"
              "dictionary er_common.dct True 1\n"
              "tm er_tech.tmb True 0\n"
              "profile er_tech True 0\n"
              "dictionary gr_tech.dct True 0\n"
              "dictionary gr_common.dct True 1\n"
              "tm gr_tech.tmb True 0\n"
              "profile gr_tech True 0\n"
              "installed 0\n");
    // Collection 1 again, skipping what exists: its profiles are kept.
    const auto again = Cli("plan " + ShellQuote(dist_) +
                           " --collection 1 --profile ER_GENERAL --replace skip --json");
    EXPECT_EQ(
        Python("d = json.loads(sys.stdin.read())\nprint([(i['key'], i['action']) for i in "
               "d['items']])",
               again.output),
        "[('er_common.dct', 'exists'), ('er_general.tmb', 'install'), ('er_general', 'keep')]\n");
}

// A distribution with a damaged packed file, one that is no packed file, a missing one, a
// dictionary of another direction than its profile's, an old format, and a profile of a
// direction the product lacks.
TEST_F(PlanTest, PredictsTheFaultsOfADamagedDistribution) {
    const std::string words = temp_.Write("src/words.txt", "house\tдом\ncat\tкошка\n");
    const std::string manifest = temp_.Write(
        "faults.manifest",
        "[collection 1]\nName.R = Пробная\nProfiles = ER_A; FR_A\n"
        "[profile ER_A]\nDirection = ER\nName.R = Проба\n"
        "Dictionaries = good.dct; crc.dct; junk.dct; gone.dct; re.dct; old.dct; torn.dct\nBaseTM = "
        "lost.tmb\n"
        "[profile FR_A]\nDirection = FR\nName.R = Проба\n"
        "[dictionary good.dct]\nDirection = ER\nName.R = Хороший\nWords = src/words.txt\n"
        "[dictionary crc.dct]\nDirection = ER\nName.R = Испорченный\nWords = src/words.txt\n"
        "[dictionary junk.dct]\nDirection = ER\nName.R = Мусор\nWords = src/words.txt\n"
        "[dictionary gone.dct]\nDirection = ER\nName.R = Пропавший\nWords = src/words.txt\n"
        "[dictionary re.dct]\nDirection = RE\nName.R = Обратный\nWords = src/words.txt\n"
        "[dictionary old.dct]\nDirection = ER\nName.R = Старый\nWords = src/words.txt\n"
        "[dictionary torn.dct]\nDirection = ER\nName.R = Порванный\nWords = src/words.txt\n"
        "[tm lost.tmb]\nDirection = ER\nName.R = Потерянная\nFile = src/words.txt\n");
    const std::string dist = temp_ / "faults";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"build", manifest, dist}), 0);
    {
        std::fstream f(dist + "/DICT/crc.dct", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(12);
        f.put('\x5A'); // the stored CRC no longer matches
    }
    std::ofstream(dist + "/DICT/junk.dct") << "not a packed file";
    fs::remove(dist + "/DICT/gone.dct");
    // A dictionary of format version 1 in place of old.dct (build refuses to write one).
    const std::string old = temp_ / "old.dct";
    ASSERT_EQ(
        kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"dict", "make", "--words", words, "--out", old,
                                                    "--version", "1", "--direction", "ER"}),
        0);
    fs::remove(dist + "/DICT/old.dct");
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"pack", old, dist + "/DICT/old.dct"}), 0);
    // A dictionary damaged before it was packed: the packed file is sound, the dictionary is not.
    const std::string torn = temp_ / "torn.dct";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"unpack", dist + "/DICT/torn.dct", torn}),
              0);
    {
        std::fstream f(torn, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(120);
        f.put('\x01');
    }
    fs::remove(dist + "/DICT/torn.dct");
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"pack", torn, dist + "/DICT/torn.dct"}),
              0);
    fs::remove(dist + "/TM/lost.tmb");
    EXPECT_EQ(PlanThenInstall(ShellQuote(dist) + " --collection 1"),
              "dictionary good.dct True 0\n"
              "dictionary crc.dct False 1016\n"
              "dictionary junk.dct False 1030\n"
              "dictionary gone.dct False 1013\n"
              "dictionary re.dct False 2025\n"
              "dictionary old.dct False 57352\n"
              "dictionary torn.dct False 1013\n"
              "tm lost.tmb False 0\n"
              "profile er_a False 0\n"
              "partly-failed 4\n");
    // The TM base and the profile are left for the first dictionary that would not be held.
    EXPECT_EQ(Python("d = json.loads(sys.stdin.read())\nprint([(i['key'], i['action'], i['detail']) for i in "
                     "d['items'] if i['kind'] != 'dictionary'])",
                     Cli("plan " + ShellQuote(dist) + " --collection 1 --json").output),
              "[('lost.tmb', 'incomplete', 'the dictionary crc.dct would not be installed, so the profile is not "
              "registered'), ('er_a', 'incomplete', 'the dictionary crc.dct would not be installed, so the profile "
              "is not registered')]\n");
    const auto plan = Cli("plan " + ShellQuote(dist) + " --collection 1");
    EXPECT_NE(plan.output.find("  profile    unsupported"), std::string::npos) << plan.output;
    EXPECT_NE(plan.output.find("message 1016: Ошибка при распаковке файла (ошибка CRC)."),
              std::string::npos);
}

// The damaged shapes the fuzzers keep (packed files, and dictionary files packed here), each the
// one dictionary of a profile of its own, with a TM base that is a FIFO and one whose dictionary
// carries no identifier: plan predicts, item by item, what install then does.
TEST_F(PlanTest, PredictsWhatInstallDoesWithEveryDamagedShape) {
    std::vector<std::string> shapes; // packed files
    const std::string packedDir = temp_ / "shapes";
    fs::create_directories(packedDir);
    for (const auto& entry : fs::directory_iterator(std::string(QUILLON_SOURCE_DIR) + "/fuzz/corpus/unpack"))
        shapes.push_back(entry.path().string());
    for (const auto& entry : fs::directory_iterator(std::string(QUILLON_SOURCE_DIR) + "/fuzz/corpus/dict_file")) {
        const std::string packed = packedDir + "/" + entry.path().filename().string();
        ASSERT_EQ(PackFile(entry.path().string(), packed), kPackOk);
        shapes.push_back(packed);
    }
    ASSERT_GT(shapes.size(), 100u);
    // Two more: a sound dictionary of the direction without an identifier, and one whose last
    // body byte changed after it was written (its head still reads).
    for (const std::string& name : {std::string("noguid"), std::string("torn-body")}) {
        kaldo::DictionaryHead head;
        head.SetDirectionId(kaldo::test::kER);
        head.SetGuid(name == "noguid" ? "" : "{6F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}");
        kaldo::DictionaryWriter writer;
        std::string error;
        const std::string plain = temp_ / (name + ".plain");
        ASSERT_TRUE(writer.Open(plain, error)) << error;
        ASSERT_TRUE(writer.Add({"house", {"дом"}}, error)) << error;
        ASSERT_TRUE(writer.Finish(head, error)) << error;
        if (name == "torn-body") {
            std::fstream f(plain, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(-1, std::ios::end);
            f.put('\x7E');
        }
        shapes.push_back(packedDir + "/" + name);
        ASSERT_EQ(PackFile(plain, shapes.back()), kPackOk);
    }
    temp_.Write("src/words.txt", "house\tдом\n");
    std::string manifest = "[collection 1]\nName.R = Формы\nProfiles =";
    std::string sections;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const std::string n = std::to_string(i);
        manifest += (i ? "; P" : " P") + n;
        sections += "[profile P" + n + "]\nDirection = ER\nName.R = Форма " + n + "\nDictionaries = d" + n + ".dct\n" +
                    (i == 0 ? "BaseTM = fifo.tmb\n" : "") + "[dictionary d" + n +
                    ".dct]\nDirection = ER\nName.R = Словарь " + n + "\nWords = src/words.txt\n";
    }
    sections += "[tm fifo.tmb]\nDirection = ER\nName.R = Канал\nFile = src/words.txt\n";
    const std::string dist = temp_ / "shapes-dist";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL,
                                      {"build", temp_.Write("shapes.manifest", manifest + "\n" + sections), dist}),
              0);
    for (std::size_t i = 0; i < shapes.size(); ++i)
        fs::copy_file(shapes[i], dist + "/DICT/d" + std::to_string(i) + ".dct", fs::copy_options::overwrite_existing);
    fs::remove(dist + "/TM/fifo.tmb");
    ASSERT_EQ(::mkfifo((dist + "/TM/fifo.tmb").c_str(), 0644), 0);

    const std::string items = PlanThenInstall(ShellQuote(dist) + " --collection 1");
    // Every kind of fault was met: decoding, the dictionary inside, and some shapes install.
    for (const char* message : {" 1030\n", " 1016\n", " 1013\n", " 0\n"})
        EXPECT_NE(items.find(message), std::string::npos) << message << "\n" << items;
    EXPECT_NE(items.find("tm fifo.tmb False"), std::string::npos) << items;
    const std::string noGuid = "d" + std::to_string(shapes.size() - 2) + ".dct";
    const std::string tornBody = "d" + std::to_string(shapes.size() - 1) + ".dct";
    EXPECT_NE(items.find("dictionary " + noGuid + " False 1032\n"), std::string::npos) << items;
    EXPECT_NE(items.find("dictionary " + tornBody + " False 57364\n"), std::string::npos) << items;
}

// Unattended, install answers question 2003 No and installs nothing: the plan says so of every item.
TEST_F(PlanTest, AQuestionAnsweredNoLeavesEveryItemNotStarted) {
    // 300 dictionaries that each declare 2 GiB: more than any disk here has free.
    temp_.Write("src/words.txt", "house\tдом\n");
    std::string manifest = "[collection 1]\nName.R = Огромная\nProfiles = ER_HUGE\n[profile ER_HUGE]\n"
                           "Direction = ER\nName.R = Огромный\nDictionaries = h0.dct",
                sections;
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        manifest += i ? "; h" + n + ".dct" : "";
        sections += "[dictionary h" + n + ".dct]\nDirection = ER\nName.R = Огромный " + n +
                    "\nWords = src/words.txt\nSize = 2147483647\n";
    }
    const std::string dist = temp_ / "huge";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL,
                                      {"build", temp_.Write("huge.manifest", manifest + "\n" + sections), dist}),
              0);
    const auto plan = Cli("plan " + ShellQuote(dist) + " --collection 1 --json");
    EXPECT_EQ(plan.code, 5) << plan.output;
    EXPECT_EQ(Python("d = json.loads(sys.stdin.read())\nprint(d['disk']['question'], len(d['items']), "
                     "set((i['action'], i['installs']) for i in d['items']))",
                     plan.output),
              "True 301 {('not-started', False)}\n");
}

} // namespace
} // namespace quillon
