// quillon-dist describe on a distribution written in the description files' text form.
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::RunProgram;
using test::ShellQuote;

std::string Dist(const std::string& arguments) { return ShellQuote(QUILLON_DIST_PROGRAM) + " " + arguments; }

class DescribeCommand : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string raviri = dir.Write("src/raviri.txt", R"(
section "7 - templates"
  S "law-er" ""
  S "law-fr" ""
section "7 - collection"
  S "Name.R" "Право & бизнес"
section "8 - templates"
  S "ghost" ""
)");
        const std::string setup = dir.Write("src/setup.txt", R"(
section "Info"
  S "Comment.R" "Комментарий"
  S "Copyright.R" "© Velmar Soft"
section "law-er"
  I "Size" 10
  S "NameOnCD" "TOPICS\\LAW.TPL"
  S "Direction" "ER"
  S "Name.R" "Право <EN>"
  S "Dictionaries" "law.er"
  S "BaseTM" "law.tmx"
  S "Preproc" "dates"
  I "Preproc.dates" 4
  S "Algo.1" "Mode|fast"
  S "Keywords.1" "суд"
  I "ShowTransVariants" 1
section "law-fr"
  S "Direction" "FR"
  S "Name.R" "Право"
section "law.er"
  I "Size" 100
  S "NameOnCD" "DICTS\\LAW.ER"
  S "Direction" "ER"
  S "Name.R" "Юридический"
section "law.tmx"
  S "Direction" "ER"
  S "Name.R" "Судебная память"
section "dates"
  S "UID" "{D1}"
)");
        dir.Write("dist/topics/law.tpl", "profile file");
        ASSERT_EQ(RunProgram(Dist("profile compile " + ShellQuote(raviri) + " " + ShellQuote(dir / "dist/RAVIRI.INF"))).code, 0);
        ASSERT_EQ(RunProgram(Dist("profile compile " + ShellQuote(setup) + " " + ShellQuote(dir / "dist/setup.ini"))).code, 0);
    }
    test::TempDir dir;
};

TEST_F(DescribeCommand, ListsTheCollections) {
    const auto r = RunProgram(Dist("describe " + ShellQuote(dir / "dist") + " --json"), false);
    ASSERT_EQ(r.code, 0) << r.output;
    // Collections and profiles come in the description files' index order (by name hash), not
    // in the order the text lists them.
    EXPECT_EQ(r.output, "{\"collections\":[{\"id\":\"8\",\"name\":\"8\",\"number\":8,\"comment\":\"Комментарий\","
                        "\"copyright\":\"© Velmar Soft\",\"profiles\":[\"ghost\"]},{\"id\":\"7\",\"name\":\"Право & бизнес\","
                        "\"number\":7,\"comment\":\"Комментарий\",\"copyright\":\"© Velmar Soft\",\"profiles\":[\"law-fr\",\"law-er\"]}]}\n");
}

TEST_F(DescribeCommand, PrintsEachProfilesXmlAsTheKernelWillGetIt) {
    const auto r = RunProgram(Dist("describe " + ShellQuote(dir / "dist") + " --collection 7 --directions ER,GR"), false);
    ASSERT_EQ(r.code, 0) << r.output;
    const std::string expectedEr =
        "profile law-er ER selected supported\n"
        "<?xml version=\"1.0\"?>\n"
        "<Topic><DirID>131073</DirID><Name>Право &lt;EN&gt;</Name><FilePath>" + dir / "dist/topics/law.tpl" +
        "</FilePath><ShowVariants>true</ShowVariants><TranslitUnk></TranslitUnk>"
        "<FullName>Англо-русский коллекция словарей \"Право &lt;EN&gt;\"</FullName>";
    EXPECT_NE(r.output.find(expectedEr), std::string::npos) << r.output;
    for (const char* part : {"<Dict><UID></UID><DirID>131073</DirID><Name>Юридический</Name><File>law.er</File>"
                             "<FullName>Англо-русский словарь \"Юридический\"</FullName></Dict>",
                             "<Name>Судебная память</Name>", "<UID>{D1}</UID>", "суд", "<Name>Mode</Name>"})
        EXPECT_NE(r.output.find(part), std::string::npos) << part;
    EXPECT_NE(r.output.find("profile law-fr FR selected unsupported"), std::string::npos) << r.output;
}

TEST_F(DescribeCommand, Failures) {
    EXPECT_EQ(RunProgram(Dist("describe " + ShellQuote(dir / "src"))).code, 1);
    EXPECT_EQ(RunProgram(Dist("describe " + ShellQuote(dir / "dist") + " --collection 99")).code, 1);
    EXPECT_EQ(RunProgram(Dist("describe " + ShellQuote(dir / "dist") + " --directions XY")).code, 2);
    EXPECT_EQ(RunProgram(Dist("describe")).code, 2);
}

} // namespace
} // namespace quillon
