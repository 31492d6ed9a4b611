// Installations at once into one product: four quillon-cli processes installing different
// collections while other processes write the hive, and a removal racing an installation of the
// same direction. Every process completes or fails with a clear message; afterwards the product
// checks out (catalogue integrity, files, no half-imported dictionary) and no hive value written
// by any process is lost.
#include "ProductFixture.h"
#include "product/WorkFolders.h"
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <set>
#include <string>
#include <vector>

namespace quillon {
namespace {

using test::ProgramResult;
using test::RunProgram;
using test::ShellQuote;

constexpr int kCollections = 4;
constexpr int kHiveWriters = 4;
constexpr int kValuesPerWriter = 5;
constexpr int kRounds = 5;

// Collections 1 and 2 English-Russian, 3 and 4 Russian-English; each of two dictionaries of its
// own (c<N>a.dct, c<N>b.dct), the odd ones with a TM base.
std::string Manifest() {
    std::string text;
    for (int c = 1; c <= kCollections; ++c) {
        const std::string n = std::to_string(c);
        const std::string direction = c <= 2 ? "ER" : "RE";
        text += "[collection " + n + "]\nName.R = Коллекция " + n + "\nProfiles = P" + n + "\n";
        text += "[profile P" + n + "]\nDirection = " + direction + "\nName.R = Профиль " + n +
                "\nDictionaries = c" + n + "a.dct; c" + n + "b.dct\n" + (c % 2 ? "BaseTM = t" + n + "\n" : "");
        for (const char* part : {"a", "b"})
            text += "[dictionary c" + n + part + ".dct]\nDirection = " + direction + "\nName.R = Словарь " + n + part +
                    "\nWords = words" + n + ".txt\n";
        if (c % 2)
            text += "[tm t" + n + "]\nDirection = " + direction + "\nFile = base.tmx\n";
    }
    return text;
}

class ConcurrentInstallTest : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        for (int c = 1; c <= kCollections; ++c) {
            std::string words;
            for (int i = 0; i < 3000; ++i)
                words += "w" + std::to_string(c) + "n" + std::to_string(i) + "\tслово " + std::to_string(i) + "\n";
            temp_.Write("src/words" + std::to_string(c) + ".txt", words);
        }
        temp_.Write("src/base.tmx", "<tmx version=\"1.4\"><body/></tmx>\n");
        const std::string manifest = temp_.Write("src/m.manifest", Manifest());
        dist_ = temp_ / "dist";
        ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"build", manifest, dist_}), 0);
    }
    void TearDown() override {
        EXPECT_TRUE(FilesIn(GetUserWorkFolder()).empty());
        ProductFixture::TearDown();
    }

    std::string InstallCommand(int collection) const {
        return ShellQuote(QUILLON_CLI) + " install " + ShellQuote(dist_) + " --collection " +
               std::to_string(collection) + " --yes";
    }
    // Runs the commands at once; answers each one's exit code (-1, and a failure, when none was
    // written) and output (standard error merged). Checks that the first `overlapping` of them ran
    // at the same time: every one started before any ended.
    std::vector<ProgramResult> AtOnce(const std::vector<std::string>& commands, std::size_t overlapping = SIZE_MAX) const {
        std::string script;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const std::string out = temp_ / ("out" + std::to_string(i));
            std::remove((out + ".rc").c_str());
            script += "(start=$(date +%s%N); " + commands[i] + " </dev/null >" + ShellQuote(out) + " 2>&1; echo $? >" +
                      ShellQuote(out + ".rc") + "; echo \"$start $(date +%s%N)\" >" + ShellQuote(out + ".times") +
                      ") &\n";
        }
        RunProgram(script + "wait\n");
        std::vector<ProgramResult> results;
        long long lastStart = 0, firstEnd = LLONG_MAX;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const std::string out = temp_ / ("out" + std::to_string(i));
            const std::string rc = test::ReadFile(out + ".rc");
            EXPECT_FALSE(rc.empty()) << commands[i] << ": no exit code";
            results.push_back({rc.empty() ? -1 : std::atoi(rc.c_str()), test::ReadFile(out)});
            long long start = 0, end = 0;
            std::istringstream(test::ReadFile(out + ".times")) >> start >> end;
            EXPECT_GT(end, 0) << commands[i] << ": no times";
            if (i < overlapping) {
                lastStart = std::max(lastStart, start);
                firstEnd = std::min(firstEnd, end);
            }
        }
        EXPECT_LT(lastStart, firstEnd) << "the commands did not run at the same time";
        return results;
    }
    static ProgramResult Product(const std::string& arguments) {
        return RunProgram(ShellQuote(KALDO_PRODUCT_TOOL) + " " + arguments + " </dev/null 2>&1");
    }
    // The product checks out, and a collection is either whole or absent: answers which are there.
    std::set<int> CheckProduct(const std::string& context) const {
        const ProgramResult verify = Product("verify");
        EXPECT_EQ(verify.code, 0) << context << "\n" << verify.output;
        const ProgramResult list = Product("list");
        EXPECT_EQ(list.code, 0) << context << "\n" << list.output;
        std::set<int> present;
        for (int c = 1; c <= kCollections; ++c) {
            const std::string n = std::to_string(c);
            if (list.output.find("Профиль " + n) == std::string::npos)
                continue;
            present.insert(c);
            for (const char* part : {"a", "b"})
                EXPECT_NE(list.output.find("c" + n + part + ".dct"), std::string::npos)
                    << context << ": collection " << c << " without its dictionary " << part << "\n"
                    << list.output;
        }
        return present;
    }

    std::string dist_;
};

TEST_F(ConcurrentInstallTest, FourInstallationsAndHiveWritersAtOnceLoseNothing) {
    const std::string hive = std::getenv("QUILLON_REGISTRY");
    for (int round = 1; round <= kRounds; ++round) {
        const std::string context = "round " + std::to_string(round);
        std::vector<std::string> commands;
        for (int c = 1; c <= kCollections; ++c)
            commands.push_back(InstallCommand(c));
        for (int w = 1; w <= kHiveWriters; ++w) {
            std::string writer;
            for (int v = 1; v <= kValuesPerWriter; ++v)
                writer += std::string(v > 1 ? " && " : "") + ShellQuote(KALDO_PRODUCT_TOOL) + " fault Probe." +
                          std::to_string(round) + "." + std::to_string(w) + "." + std::to_string(v) + " 0x80004005 1";
            commands.push_back(writer);
        }
        const auto results = AtOnce(commands, kCollections); // the installations overlapped
        for (int c = 1; c <= kCollections; ++c) {
            const ProgramResult& r = results[std::size_t(c - 1)];
            EXPECT_EQ(r.code, 0) << context << ", collection " << c << "\n" << r.output;
            EXPECT_NE(r.output.find("quillon-cli: installed"), std::string::npos) << context << "\n" << r.output;
        }
        for (int w = 1; w <= kHiveWriters; ++w)
            EXPECT_EQ(results[std::size_t(kCollections + w - 1)].code, 0)
                << context << ", hive writer " << w << "\n" << results[std::size_t(kCollections + w - 1)].output;
        EXPECT_EQ(CheckProduct(context), (std::set<int>{1, 2, 3, 4}));
        const std::string values = test::ReadFile(hive);
        for (int w = 1; w <= kHiveWriters; ++w)
            for (int v = 1; v <= kValuesPerWriter; ++v) {
                const std::string name = "\"Probe." + std::to_string(round) + "." + std::to_string(w) + "." +
                                         std::to_string(v) + "\"=";
                EXPECT_NE(values.find(name), std::string::npos) << context << ": lost " << name;
            }
        const ProgramResult removed = RunProgram(ShellQuote(QUILLON_CLI) + " remove --all --yes </dev/null 2>&1");
        ASSERT_EQ(removed.code, 0) << removed.output;
        EXPECT_TRUE(CheckProduct(context + ", removed").empty());
    }
}

TEST_F(ConcurrentInstallTest, RemovalRacingAnInstallationOfTheSameDirection) {
    for (int round = 1; round <= kRounds; ++round) {
        const std::string context = "round " + std::to_string(round);
        const ProgramResult first = RunProgram(InstallCommand(2) + " </dev/null 2>&1");
        ASSERT_EQ(first.code, 0) << first.output;
        const auto results = AtOnce({ShellQuote(QUILLON_CLI) + " remove --direction ER --all-of-direction --yes",
                                     InstallCommand(1)});
        const ProgramResult& remove = results[0];
        const ProgramResult& install = results[1];
        // Each ends as it says: done, or failed with a message naming what went wrong.
        EXPECT_EQ(remove.code, 0) << context << "\n" << remove.output;
        EXPECT_NE(remove.output.find("removed  ER"), std::string::npos) << context << "\n" << remove.output;
        EXPECT_EQ(install.code, 0) << context << "\n" << install.output;
        // Collection 2 was there before both began, so the removal took it; collection 1 stays
        // whole when the installation finished after the removal had read the catalogue, and
        // is gone when the removal came later.
        const std::set<int> present = CheckProduct(context);
        EXPECT_TRUE(present == std::set<int>{} || present == std::set<int>{1}) << context;
        RunProgram(ShellQuote(QUILLON_CLI) + " remove --all --yes </dev/null 2>&1");
        ASSERT_TRUE(CheckProduct(context + ", removed").empty());
    }
}

} // namespace
} // namespace quillon
