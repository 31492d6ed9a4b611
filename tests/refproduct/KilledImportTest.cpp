// A process killed at any point of an import or a deletion leaves the catalogue and the direction
// folder consistent: every catalogued dictionary is whole, nothing uncatalogued stays behind.
#include "ProductFixture.h"

#include "Product.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace kaldo::test {
namespace {

using namespace quillon;

class KilledImportTest : public ProductFixture {
protected:
    // Runs `operation` in a child process; kills it after `delay` unless it ended before.
    template <class Operation>
    void RunAndKill(Operation operation, std::chrono::microseconds delay) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto kernel = Kernel();
            ::_exit(kernel && operation(*kernel) == S_OK ? 0 : 1);
        }
        const auto deadline = std::chrono::steady_clock::now() + delay;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline)
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }

    // Opens the product as a later process would (which recovers) and checks it.
    bool CheckConsistent(std::string& why) {
        std::string error;
        auto product = Product::OpenAt(root_, std::getenv("QUILLON_REGISTRY"), error);
        if (!product) {
            why = error;
            return false;
        }
        std::vector<std::string> expected{"GENDICT.ER"};
        for (const auto& d : product->Dictionaries(kER))
            expected.push_back(d.file);
        std::sort(expected.begin(), expected.end());
        if (FilesIn(Folder("ER")) != expected) {
            why = "the folder holds files the catalogue does not name (or misses some)";
            return false;
        }
        const auto problems = product->Verify();
        if (!problems.empty()) {
            why = problems.front();
            return false;
        }
        return true;
    }
};

TEST_F(KilledImportTest, KilledAtRandomPointsTheProductStaysConsistent) {
    const std::string path = MakeDictionary("large.er", kER, true, 4, 60000);
    auto import = [&](KernelService& k) { return k.ImportDictionary(path, kER, 0, nullptr); };
    auto remove = [&](KernelService& k) { return k.DeleteDictionary(path, kER); };

    // How long an uninterrupted import and deletion take here.
    auto started = std::chrono::steady_clock::now();
    RunAndKill(import, std::chrono::seconds(5));
    const auto importTime = std::chrono::steady_clock::now() - started;
    std::string why;
    ASSERT_TRUE(CheckConsistent(why)) << why;
    ASSERT_EQ(FilesIn(Folder("ER")).size(), 2u) << "the uninterrupted import did not complete";
    started = std::chrono::steady_clock::now();
    RunAndKill(remove, std::chrono::seconds(5));
    const auto removeTime = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(CheckConsistent(why)) << why;

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    int completed = 0, interrupted = 0;
    for (int round = 0; round < 30; ++round) {
        std::string error;
        const bool installed = Product::OpenAt(root_, std::getenv("QUILLON_REGISTRY"), error)->Dictionaries(kER).size() == 1;
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(installed ? removeTime : importTime);
        const auto delay = std::chrono::microseconds(random() % static_cast<unsigned>(span.count() * 12 / 10 + 1));
        if (installed)
            RunAndKill(remove, delay);
        else
            RunAndKill(import, delay);
        ASSERT_TRUE(CheckConsistent(why)) << "seed " << seed << ", round " << round << ": " << why;
        const bool now = Product::OpenAt(root_, std::getenv("QUILLON_REGISTRY"), error)->Dictionaries(kER).size() == 1;
        (now != installed ? completed : interrupted) += 1;
    }
    // Both outcomes must have occurred, or the kills did not land inside the operations.
    EXPECT_GT(completed, 0) << "seed " << seed;
    EXPECT_GT(interrupted, 0) << "seed " << seed;
}

} // namespace
} // namespace kaldo::test
