// quillon-cli and the paths of a distribution: links planted in it, a folder named relatively.
#include "CliFixture.h"
#include "support/Text.h"

#include <filesystem>
#include <fstream>
#include <iterator>

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
