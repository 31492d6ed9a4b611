// quillon-dist verify DIST: a clean distribution is clean (plain and setup.inf), and each fault
// planted in a small one is reported once, with its severity; build refuses what verify calls an
// error.
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

test::ProgramResult Dist(const std::string& arguments, bool mergeErrors = true) {
    return test::RunProgram(ShellQuote(QUILLON_DIST_PROGRAM) + " " + arguments, mergeErrors);
}

// "severity check section" per finding of verify's JSON object, then the errors and warnings.
std::string Findings(const test::TempDir& dir, const std::string& json) {
    const std::string input = dir.Write("verify.json", json);
    return test::RunProgram(
               "/usr/bin/python3 -c " +
               ShellQuote("import json,sys\nd = json.load(open(sys.argv[1]))\n"
                          "for f in d['findings']: print(f['severity'], f['check'], f['section'])\n"
                          "s = d['summary']\nprint(s['errors'], s['warnings'], d['exitCode'])") +
               " " + ShellQuote(input) + " 2>&1")
        .output;
}

class VerifyCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/python3"))
            GTEST_SKIP() << "/usr/bin/python3 is not installed";
    }
    test::TempDir dir;
};

TEST_F(VerifyCommandTest, CleanDistributionsAreClean) {
    const std::string sample = std::string(QUILLON_SOURCE_DIR) + "/samples/demo/demo.manifest";
    for (const char* option : {"", " --setup-inf"}) {
        SCOPED_TRACE(option);
        const std::string out = dir / (std::string("dist") + (*option ? "-inf" : ""));
        ASSERT_EQ(Dist("build " + ShellQuote(sample) + " " + ShellQuote(out) + option).code, 0);
        const auto json = Dist("verify " + ShellQuote(out) + " --json", false);
        EXPECT_EQ(json.code, 0) << json.output;
        EXPECT_EQ(Findings(dir, json.output), "0 0 0\n") << json.output;
        const auto people = Dist("verify " + ShellQuote(out));
        EXPECT_NE(people.output.find(": 2 collections, 5 profiles, 5 dictionaries ("),
                  std::string::npos)
            << people.output;
        EXPECT_NE(people.output.find("), 3 TM bases: 0 errors, 0 warnings\n"), std::string::npos)
            << people.output;
    }
}

TEST_F(VerifyCommandTest, EachPlantedFaultIsReportedOnce) {
    dir.Write("src/words.txt", "house\tдом\ncat\tкошка\n");
    dir.Write("src/base.tmx", "<tmx/>\n");
    dir.Write("src/kw.txt", "keyword\n");
    std::string manifest = "[collection 1]\nName.R = Проба\nProfiles = P1; P2\n"
                           "[profile P1]\nDirection = ER\nName.R = Первый\nKeywords = src/kw.txt\n"
                           "Dictionaries = good.dct; crc.dct; junk.dct; gone.dct; inner.dct; "
                           "torn.dct; big.dct; re.dct\n"
                           "BaseTM = lost.tmb\nPreproc = pp\n"
                           "[profile P2]\nDirection = ER\nName.R = Второй\n"
                           "[preprocessor pp]\nUID = {00000000-0000-4000-8000-000000000001}\n"
                           "[tm lost.tmb]\nDirection = ER\nFile = src/base.tmx\n";
    for (const char* key : {"good", "crc", "junk", "gone", "inner", "torn", "big"})
        manifest +=
            "[dictionary " + std::string(key) + ".dct]\nDirection = ER\nWords = src/words.txt\n";
    manifest += "[dictionary re.dct]\nDirection = RE\nWords = src/words.txt\n";
    manifest += "[dictionary other.dct]\nDirection = RE\nWords = src/words.txt\n"; // for inner.dct
    const std::string dist = dir / "dist";
    const auto built =
        Dist("build " + ShellQuote(dir.Write("m.manifest", manifest)) + " " + ShellQuote(dist));
    ASSERT_EQ(built.code, 0)
        << built.output; // (re.dct in an ER profile and other.dct are warnings only)
    ASSERT_EQ(Findings(dir, Dist("verify " + ShellQuote(dist) + " --json", false).output),
              "warning direction-mismatch P1\nwarning unreferenced other.dct\n0 2 0\n");

    // Files: a damaged checksum, no packed file, a missing one, a dictionary of another
    // direction inside, a missing TM base, a missing keywords file.
    {
        std::fstream f(dist + "/DICT/crc.dct", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(12);
        f.put('\x5A');
    }
    std::ofstream(dist + "/DICT/junk.dct") << "not a packed file";
    fs::remove(dist + "/DICT/gone.dct");
    fs::copy_file(dist + "/DICT/other.dct", dist + "/DICT/inner.dct",
                  fs::copy_options::overwrite_existing);
    fs::remove(dist + "/TM/lost.tmb");
    fs::remove(dist + "/KEYWORDS/kw.txt");
    // A dictionary damaged before it was packed: the packed file is sound, the dictionary's own
    // checksum is not.
    ASSERT_EQ(
        Dist("unpack " + ShellQuote(dist + "/DICT/torn.dct") + " " + ShellQuote(dir / "torn")).code,
        0);
    {
        std::fstream f(dir / "torn", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(120);
        f.put('\x01');
    }
    fs::remove(dist + "/DICT/torn.dct");
    ASSERT_EQ(
        Dist("pack " + ShellQuote(dir / "torn") + " " + ShellQuote(dist + "/DICT/torn.dct")).code,
        0);
    // Descriptions: a profile without a name, an unsafe key, a direction code no table knows, a
    // size far from the real one, a preprocessor without UID, a profile without a section.
    ASSERT_EQ(Dist("profile dump " + ShellQuote(dist + "/SETUP.INI") + " >" +
                   ShellQuote(dir / "setup.txt"))
                  .code,
              0);
    std::string setup = test::ReadFile(dir / "setup.txt");
    const auto replace = [](std::string& text, const std::string& from, const std::string& to) {
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    replace(setup, "  S \"Name.R\" \"Второй\"\n", "");
    replace(setup, "good.dct;crc.dct", "good.dct;../evil;odd.dct;crc.dct");
    const std::string bigSize = "section \"big.dct\"\n  S \"Direction\" \"ER\"\n  I \"Size\" ";
    const auto big = setup.find(bigSize);
    ASSERT_NE(big, std::string::npos);
    setup.replace(big + bigSize.size(),
                  setup.find('\n', big + bigSize.size()) - big - bigSize.size(), "9000000");
    replace(setup, "S \"UID\" \"{00000000-0000-4000-8000-000000000001}\"", "S \"UID\" \"\"");
    setup += "section \"odd.dct\"\n  S \"Direction\" \"XQ\"\n";
    ASSERT_EQ(Dist("profile compile " + ShellQuote(dir.Write("setup2.txt", setup)) + " " +
                   ShellQuote(dist + "/SETUP.INI"))
                  .code,
              0);
    ASSERT_EQ(Dist("profile dump " + ShellQuote(dist + "/RAVIRI.INF") + " >" +
                   ShellQuote(dir / "raviri.txt"))
                  .code,
              0);
    std::string raviri = test::ReadFile(dir / "raviri.txt");
    replace(raviri, "  I \"P2\" 1\n", "  I \"P2\" 1\n  I \"GHOST\" 1\n");
    ASSERT_EQ(Dist("profile compile " + ShellQuote(dir.Write("raviri2.txt", raviri)) + " " +
                   ShellQuote(dist + "/RAVIRI.INF"))
                  .code,
              0);

    const auto json = Dist("verify " + ShellQuote(dist) + " --json", false);
    EXPECT_EQ(json.code, 1);
    EXPECT_EQ(Findings(dir, json.output),
              "error key ../evil\n"                    // not a safe file name
              "error direction odd.dct\n"              // XQ
              "error packed-checksum crc.dct\n"        // message 1016
              "error packed-header junk.dct\n"         // message 1030
              "error file-missing gone.dct\n"          // message 1013
              "error dictionary-direction inner.dct\n" // RE inside: 2025
              "error dictionary-format torn.dct\n"     // its own checksum: 1013
              "warning size big.dct\n"
              "warning direction-mismatch P1\n" // re.dct: 2025
              "error file-missing lost.tmb\n"
              "warning preprocessor pp\n"
              "error file-missing P1\n" // KEYWORDS/kw.txt
              "error profile-name P2\n" // message 2006
              "error section GHOST\n"
              "warning unreferenced other.dct\n"
              "11 4 1\n")
        << json.output;
    const auto people = Dist("verify " + ShellQuote(dist));
    EXPECT_EQ(people.code, 1);
    EXPECT_NE(
        people.output.find("error: [crc.dct] DICT/crc.dct does not decode to the data its checksum "
                           "describes: message 1016\n"),
        std::string::npos)
        << people.output;
    EXPECT_NE(people.output.find(": 11 errors, 4 warnings\n"), std::string::npos) << people.output;
}

TEST_F(VerifyCommandTest, BuildRefusesAProfileWithoutAName) {
    dir.Write("src/words.txt", "house\tдом\n");
    const std::string manifest =
        dir.Write("m.manifest", "[collection 1]\nProfiles = P1\n"
                                "[profile P1]\nDirection = ER\nName.E = First\n");
    const auto r = Dist("build " + ShellQuote(manifest) + " " + ShellQuote(dir / "out"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("m.manifest:3: profile \"P1\" has no Name.R: the kernel refuses a "
                            "profile without a name"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

} // namespace
} // namespace quillon
