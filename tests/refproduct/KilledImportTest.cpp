// A process killed at any point of an import, a deletion or a collection removal leaves the catalogue and the direction
// folder consistent: every catalogued dictionary is whole, nothing uncatalogued stays behind.
#include "ProductFixture.h"

#include "Product.h"

#include <chrono>
#include <csignal>
#include <cstdio>
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
    // Runs `operation` in a child process and kills it `delay` after the operation began
    // (unless it ended before). Answers how long the operation took when it ran to its end.
    template <class Operation>
    std::chrono::microseconds RunAndKill(Operation operation, std::chrono::microseconds delay) {
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            auto kernel = Kernel();
            if (!kernel)
                ::_exit(1);
            const char started = 'S';
            if (::write(fds[1], &started, 1) != 1)
                ::_exit(1);
            const auto t0 = std::chrono::steady_clock::now();
            const HRESULT hr = operation(*kernel);
            const long long took =
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
            if (::write(fds[1], &took, sizeof took) != sizeof took)
                ::_exit(1);
            ::_exit(hr == S_OK ? 0 : 1);
        }
        ::close(fds[1]);
        char started = 0;
        const bool began = ::read(fds[0], &started, 1) == 1;
        const auto deadline = std::chrono::steady_clock::now() + delay;
        int status = 0;
        bool ended = false;
        while (began && !ended && std::chrono::steady_clock::now() < deadline) {
            ended = ::waitpid(pid, &status, WNOHANG) == pid;
            if (!ended)
                ::usleep(50);   // leave the CPU to the child
        }
        if (!ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        long long took = 0;
        const bool measured = ::read(fds[0], &took, sizeof took) == sizeof took;
        ::close(fds[0]);
        return std::chrono::microseconds(measured ? took : 0);
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
    auto importTime = RunAndKill(import, std::chrono::seconds(10));
    std::string why;
    ASSERT_TRUE(CheckConsistent(why)) << why;
    ASSERT_EQ(FilesIn(Folder("ER")).size(), 2u) << "the uninterrupted import did not complete";
    auto removeTime = RunAndKill(remove, std::chrono::seconds(10));
    ASSERT_TRUE(CheckConsistent(why)) << why;

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    int completed = 0, interrupted = 0, inCopy = 0;
    const auto temporaries = [&] {
        int n = 0;
        for (const auto& file : FilesIn(root_ + "/.tmp"))
            n += file.rfind(".kaldo-tmp-", 0) == 0 ? 1 : 0;
        return n;
    };
    const std::string guid = GuidOf(path);
    // 30 rounds, and more (up to 120) until a kill has landed inside a copy.
    for (int round = 0; round < 30 || (inCopy == 0 && round < 120); ++round) {
        std::string error;
        const bool installed = Product::OpenAt(root_, std::getenv("QUILLON_REGISTRY"), error)->Dictionaries(kER).size() == 1;
        const auto span = installed ? removeTime : importTime;
        // Up to twice the longest run seen so far: some kills land inside, some after the end.
        const auto delay = std::chrono::microseconds(random() % static_cast<unsigned>(span.count() * 2 + 1));
        std::chrono::microseconds took{};
        // Every other removal goes through a profile that names the dictionary.
        const bool throughProfile = installed && round % 4 == 1;
        if (throughProfile) {
            std::string reply;
            ASSERT_EQ(Kernel()->InstallProfile(ProfileXml("Killed", kER, {guid}), 1, reply), S_OK);
            took = RunAndKill([](KernelService& k) { return k.RemoveCollection(kER, 0); }, delay);
            removeTime = std::max(removeTime, took);
        } else if (installed) {
            removeTime = std::max(removeTime, RunAndKill(remove, delay));
        } else {
            importTime = std::max(importTime, RunAndKill(import, delay));
        }
        // A temporary left means the kill landed inside an import's copy; the next opening of
        // the product takes it away.
        inCopy += temporaries() > 0 ? 1 : 0;
        ASSERT_TRUE(CheckConsistent(why)) << "seed " << seed << ", round " << round << ": " << why;
        ASSERT_EQ(temporaries(), 0) << "seed " << seed << ", round " << round;
        auto product = Product::OpenAt(root_, std::getenv("QUILLON_REGISTRY"), error);
        const bool now = product->Dictionaries(kER).size() == 1;
        if (throughProfile) {
            // The collection and its only dictionary went together, or neither did.
            ASSERT_EQ(product->Collections(kER).size() == 1, now) << "seed " << seed << ", round " << round;
            std::string detail;
            if (now) {
                ASSERT_EQ(product->RemoveCollection(kER, 0, detail), S_OK) << detail;
            }
            ASSERT_TRUE(product->Dictionaries(kER).empty());
        }
        (now != installed ? completed : interrupted) += 1;
    }
    // Both outcomes must have occurred, and kills must have landed inside an import's copy (not
    // only before it began), or the rounds checked little.
    std::printf("killed rounds: %d completed, %d interrupted, %d inside an import's copy\n", completed, interrupted,
                inCopy);
    EXPECT_GT(completed, 0) << "seed " << seed;
    EXPECT_GT(interrupted, 0) << "seed " << seed;
    EXPECT_GT(inCopy, 0) << "seed " << seed;
}

} // namespace
} // namespace kaldo::test
