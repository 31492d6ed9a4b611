// kaldo-product and quillon-dist dict, run as the user runs them.
#include "ProductFixture.h"

#include "DirectionTable.h"
#include "Journal.h"
#include "support/Text.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kaldo::test {
namespace {

using namespace quillon;

using ToolsTest = ProductFixture;

TEST_F(ToolsTest, VerifyFindsADamagedDictionary) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    ASSERT_EQ(kernel->ImportDictionary(MakeDictionary("d.er", kER), kER, 0, nullptr), S_OK);
    std::string out;
    EXPECT_EQ(RunProductTool({"verify"}, &out), 0) << out;
    {
        std::fstream f(Folder("ER") + "/d.er", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(40);
        f.put('\x5A');
    }
    out.clear();
    EXPECT_EQ(RunProductTool({"verify"}, &out), 1);
    EXPECT_NE(out.find("damaged"), std::string::npos) << out;
    EXPECT_NE(out.find("d.er"), std::string::npos) << out;
}

TEST_F(ToolsTest, InitKeepsRelativePathsUsableFromAnyFolder) {
    const std::string here = std::filesystem::current_path();
    std::filesystem::create_symlink(KALDO_REFPRODUCT_LIBRARY, temp_ / "lib.so");
    std::filesystem::current_path(temp_.Path());
    const int init = RunProductTool({"init", "relative", "--directions", "GR", "--library", "lib.so"});
    std::filesystem::current_path("/");
    std::string status;
    const int code = RunProductTool({"status"}, &status);
    std::filesystem::current_path(here);
    ASSERT_EQ(init, 0);
    EXPECT_EQ(code, 0) << status;
    EXPECT_NE(status.find("root: " + temp_ / "relative"), std::string::npos) << status;
    EXPECT_NE(status.find("GR"), std::string::npos) << status;
    // The service library is registered by its full path, as dlopen needs from any folder.
    std::ifstream hive(std::getenv("QUILLON_REGISTRY"));
    const std::string text((std::istreambuf_iterator<char>(hive)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\"" + temp_ / "lib.so\""), std::string::npos) << text;
}

TEST_F(ToolsTest, ListAndJournalShowWhatTheKernelReceived) {
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    const std::string dict = MakeDictionary("l.er", kER);
    ASSERT_EQ(kernel->ImportDictionary(dict, kER, 0, nullptr), S_OK);
    const std::string xml = ProfileXml("Listed", kER, {GuidOf(dict)});
    std::string reply;
    ASSERT_EQ(kernel->InstallProfile(xml, 1, reply), S_OK);

    std::string json;
    ASSERT_EQ(RunProductTool({"list", "--json"}, &json), 0);
    EXPECT_NE(json.find("\"name\":\"Listed\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"file\":\"l.er\""), std::string::npos) << json;
    std::string status;
    ASSERT_EQ(RunProductTool({"status"}, &status), 0);
    EXPECT_NE(status.find("Англо-русский"), std::string::npos);

    std::string journal;
    ASSERT_EQ(RunProductTool({"journal"}, &journal), 0);
    // The XML travels in full, escaped as JSON.
    EXPECT_NE(journal.find("\"xml\":" + JsonQuote(xml)), std::string::npos);
    EXPECT_NE(journal.find("\"operation\":\"ImportDictionary\""), std::string::npos);
    std::size_t lines = 0;
    for (char c : journal)
        lines += c == '\n';
    EXPECT_GE(lines, 3u);   // Login, ImportDictionary, InstallProfile at least
}

TEST_F(ToolsTest, DistMakesADictionaryTheProductImports) {
    const std::string words = temp_.Write("words.txt", "\xEF\xBB\xBF# a word list\nhouse\tдом\tздание\r\n\ncat\tкошка\n");
    const std::string out = work_ + "/made.er";
    const auto general = General("ER");
    std::string printed;
    ASSERT_EQ(RunProgram(QUILLON_DIST_TOOL,
                         {"dict", "make", "--words", words, "--out", out, "--direction", "ER", "--title",
                          "Бытовой словарь английского", "--copyright", "(c) Velmar", "--link-number",
                          std::to_string(general.LinkNumber()), "--link-code", std::to_string(general.LinkCode()),
                          "--format-level", "72", "--version", "5"},
                         &printed),
              0);
    std::string error;
    auto file = ReadDictionaryFile(out, error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->Version(), 5) << "--version after the command is the format version: " << printed;
    EXPECT_EQ(file->DirectionId(), kER);
    EXPECT_EQ(file->Entries().size(), 2u);
    EXPECT_EQ(file->Entries()[0], (DictionaryEntry{"house", {"дом", "здание"}}));
    EXPECT_EQ(file->TitleBytes(), Utf8ToCp1251("Бытовой словарь английского").substr(0, 15));
    ASSERT_NE(file->FindProperty("copyright_w"), nullptr);
    auto kernel = Kernel();
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->ImportDictionary(out, kER, 0, nullptr), S_OK);

    // A malformed list is refused and writes nothing.
    const std::string bad = temp_.Write("bad.txt", "house\tдом\nno translation here\n");
    EXPECT_EQ(RunProgram(QUILLON_DIST_TOOL, {"dict", "make", "--words", bad, "--out", work_ + "/bad.er"}), 1);
    EXPECT_FALSE(ReadDictionaryFile(work_ + "/bad.er", error));
    EXPECT_EQ(RunProgram(QUILLON_DIST_TOOL, {"dict", "make", "--words", words, "--out", work_ + "/x.er", "--guid",
                                             "nonsense"}), 1);
}

TEST(DirectionTable, CodesIdsAndNames) {
    EXPECT_EQ(DirectionIdFromCode("gr"), 0x00020004u);
    EXPECT_EQ(DirectionIdFromCode("GRX"), 0x00020004u);
    EXPECT_EQ(DirectionIdFromCode("G"), 0u);
    EXPECT_EQ(DirectionIdFromCode("RX"), 0u);
    EXPECT_EQ(DirectionCode(0x00020001), "ER");
    EXPECT_EQ(DirectionCode(0x00020003), "");
    EXPECT_EQ(DirectionCode(0x00060001), "");
    EXPECT_EQ(DirectionName(0x01000100), "Голландско-голландский");
    EXPECT_EQ(DirectionName(0x00200040), "Португальско-испанский");
    EXPECT_EQ(DirectionName(0x00200040, 0x0409), "Portuguese-Spanish");
    EXPECT_EQ(DirectionName(0x00200040, 0x0809), "Portuguese-Spanish"); // any English
    EXPECT_EQ(DirectionName(0x00200040, 0x0407), "Португальско-испанский");
}

} // namespace
} // namespace kaldo::test
