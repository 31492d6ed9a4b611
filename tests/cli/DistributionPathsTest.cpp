// quillon-cli and the paths of a distribution: links planted in it, a folder named relatively.
#include "CliFixture.h"
#include "support/Text.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::RunProgram;
using test::ShellQuote;

class DistributionPathsTest : public test::CliFixture {
protected:
    // The file of the distribution whose name is `name`, letter case ignored.
    std::string DistFile(const std::string& name) const {
        for (const auto& entry : fs::recursive_directory_iterator(dist_))
            if (FoldCase(entry.path().filename().string()) == FoldCase(name))
                return entry.path().string();
        ADD_FAILURE() << name << " is not in the distribution";
        return {};
    }
    // Every file below the product's root that holds `text`.
    std::vector<std::string> ProductFilesHolding(const std::string& text) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
            if (bytes.find(text) != std::string::npos)
                found.push_back(entry.path().string());
        }
        return found;
    }
};

// The TM base and the profile file of collection 1 replaced by links to a file outside: they
// count as missing, so nothing of that file is copied into the product; the rest installs.
TEST_F(DistributionPathsTest, LinksLeadingOutOfTheDistributionReachNothing) {
    const std::string secret = "the neighbour's private notes";
    const std::string outside = temp_.Write("outside/notes", secret);
    for (const char* name : {"er_general.tmb", "ER_GENERAL"}) {
        const std::string planted = DistFile(name);
        ASSERT_FALSE(planted.empty());
        fs::remove(planted);
        fs::create_symlink(outside, planted);
    }
    const auto r = Cli("install " + ShellQuote(dist_) + " --collection 1 --yes", true);
    EXPECT_EQ(r.code, 4) << r.output; // partly failed: the TM base
    EXPECT_NE(r.output.find("  dictionary installed"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("  tm         FAILED"), std::string::npos) << r.output;
    EXPECT_EQ(ProductFilesHolding(secret), std::vector<std::string>()) << r.output;
}

// Someone who can write into the distribution while it installs swaps a TM base and a packed
// dictionary for links to files outside (renameat2 exchange, in a loop): each installation reads
// either the real file or refuses the link, and no byte of the outside files reaches the product.
TEST_F(DistributionPathsTest, AFileSwappedForALinkDuringInstallationsNeverBringsOutsideBytes) {
    const std::string secret = "the neighbour's private notes";
    const std::string outsideNotes = temp_.Write("outside/notes", secret);
    // An outside packed dictionary of the same direction, carrying a word of its own.
    const std::string words = temp_.Write("outside/words.txt", "neighbourword\tсосед\n");
    const std::string outsideDict = temp_ / "outside/neighbour.dct";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"dict", "make", "--words", words, "--out",
                                                          temp_ / "outside/plain.dct", "--direction", "ER"}),
              0);
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"pack", temp_ / "outside/plain.dct", outsideDict}), 0);
    fs::remove(temp_ / "outside/plain.dct");
    fs::remove(words);

    struct Swap {
        std::string file, link;
    };
    std::vector<Swap> swaps;
    for (const auto& [name, target] : {std::pair{"er_general.tmb", outsideNotes}, std::pair{"er_common.dct", outsideDict}}) {
        const std::string file = DistFile(name);
        ASSERT_FALSE(file.empty());
        swaps.push_back({file, file + ".swap"});
        fs::create_symlink(target, swaps.back().link);
    }
    std::atomic<bool> stop{false};
    std::atomic<long> exchanges{0};
    std::thread swapper([&] {
        while (!stop)
            for (const Swap& s : swaps)
                if (::renameat2(AT_FDCWD, s.file.c_str(), AT_FDCWD, s.link.c_str(), RENAME_EXCHANGE) == 0)
                    ++exchanges;
    });
    int sawLink = 0, sawFile = 0;
    for (int round = 0; round < 20; ++round) {
        const auto r = Cli("install " + ShellQuote(dist_) + " --collection 1 --yes --json");
        const std::string outcomes = Python("d = json.loads(sys.stdin.read())\n"
                                            "print(' '.join(i['result'] for i in d['items'] if i['key'] in "
                                            "('er_general.tmb', 'er_common.dct')))",
                                            r.output);
        sawLink += outcomes.find("failed") != std::string::npos;
        sawFile += outcomes.find("installed") != std::string::npos;
        EXPECT_EQ(ProductFilesHolding(secret), std::vector<std::string>()) << r.output;
        EXPECT_EQ(ProductFilesHolding("neighbourword"), std::vector<std::string>()) << r.output;
        const int removed = Cli("remove --all --yes").code;
        EXPECT_TRUE(removed == 0 || removed == 5) << removed << "\n" << r.output; // 5: nothing was installed
    }
    stop = true;
    swapper.join();
    // The race was run: both the file and the link met installations.
    EXPECT_GT(exchanges.load(), 1000);
    EXPECT_GT(sawLink, 0);
    EXPECT_GT(sawFile, 0);
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
}

// A distribution named relatively to the current folder: the profiles the product keeps name
// their files by absolute paths, which still hold from any other folder.
TEST_F(DistributionPathsTest, ARelativeDistributionIsStoredWithAbsolutePaths) {
    const auto r = RunProgram("cd " + ShellQuote(temp_.Path()) + " && " + ShellQuote(QUILLON_CLI) +
                                  " install ./dist --collection 1 --yes </dev/null",
                              true);
    ASSERT_EQ(r.code, 0) << r.output;
    const std::string paths =
        Python("import sqlite3, re\n"
               "db = sqlite3.connect(sys.stdin.read().strip())\n"
               "for (xml,) in db.execute('SELECT xml FROM collections'):\n"
               "    for p in re.findall('<FilePath>(.*?)</FilePath>', xml): print(p)",
               root_ + "/catalogue.db");
    const std::string folder =
        fs::canonical(dist_).string() + "/"; // as the current folder names it
    EXPECT_NE(paths.find(folder), std::string::npos) << paths;
    for (std::size_t start = 0, end; (end = paths.find('\n', start)) != std::string::npos;
         start = end + 1)
        if (end > start) {
            EXPECT_EQ(paths.substr(start, folder.size()), folder) << paths;
        }
}

} // namespace
} // namespace quillon
