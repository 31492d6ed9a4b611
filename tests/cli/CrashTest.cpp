// quillon-cli install and remove killed with SIGKILL after every line of their step log, and at
// random moments while the large dictionary is unpacked and imported. After each kill the
// product's catalogue is intact, `kaldo-product verify` passes, every dictionary file is
// catalogued and every catalogued one is there, and the next run of the installer removes what
// the killed one left in the work folder; a normal run afterwards completes.
#include "ProductFixture.h"
#include "platform/Ports.h"
#include "platform/RegistryStore.h"
#include "product/WorkFolders.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using kaldo::test::RunProductTool;

// Entries of the large dictionary: enough that unpacking and import take a while.
constexpr int kLargeEntries = 400000;
constexpr int kRandomKills = 6;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t LinesIn(const std::string& path) {
    std::size_t n = 0;
    for (char c : ReadAll(path))
        n += c == '\n';
    return n;
}

// One run of quillon-cli with its step log; people's output goes nowhere.
class CliRun {
public:
    CliRun(const std::vector<std::string>& arguments, std::string log) : log_(std::move(log)) {
        fs::remove(log_);
        std::vector<std::string> all{QUILLON_CLI};
        all.insert(all.end(), arguments.begin(), arguments.end());
        all.insert(all.end(), {"--log", log_});
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int fd : {0, 1, 2})
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        start_ = Clock::now();
    }
    ~CliRun() {
        if (pid_ > 0)
            Kill();
    }
    bool Started() const { return pid_ > 0; }
    // Waits for the end; answers the exit code (-1 when killed by a signal).
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Kill() {
        ::kill(pid_, SIGKILL);
        Wait();
    }
    // Kills the run as soon as its log holds `lines` lines; false when it ended before.
    bool KillAfterLines(std::size_t lines) {
        for (;;) {
            if (LinesIn(log_) >= lines) {
                Kill();
                return true;
            }
            if (Ended())
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    // Kills the run `after` its start; false when it ended before.
    bool KillAt(Clock::duration after) {
        while (Clock::now() - start_ < after) {
            if (Ended())
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        Kill();
        return true;
    }
    // Runs to the end, noting when each log line appeared (from the start).
    std::vector<Clock::duration> LineTimes() {
        std::vector<Clock::duration> times;
        for (bool ended = false; !ended;) {
            ended = Ended();
            for (std::size_t n = LinesIn(log_); times.size() < n;)
                times.push_back(Clock::now() - start_);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return times;
    }
    int ExitCode() const { return exitCode_; }

private:
    bool Ended() {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_)
            return false;
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }
    std::string log_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    Clock::time_point start_;
};

class CrashTest : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        std::string words;
        for (int i = 0; i < kLargeEntries; ++i)
            words += "term" + std::to_string(i) + "\tтермин" + std::to_string(i) + "\n";
        temp_.Write("src/large.txt", words);
        temp_.Write("src/small.txt", "bolt\tболт\nnut\tгайка\n");
        temp_.Write("src/t.tmx", "<tmx version=\"1.4\"><body/></tmx>\n");
        temp_.Write(
            "src/crash.manifest",
            "[collection 1]\nName.R = Техника\nProfiles = ER_TECH\n\n"
            "[profile ER_TECH]\nDirection = ER\nName.R = Техника\n"
            "Dictionaries = small.dct; large.dct\nBaseTM = t.tmb\n\n"
            "[dictionary small.dct]\nDirection = ER\nName.R = Малый\nWords = small.txt\n\n"
            "[dictionary large.dct]\nDirection = ER\nName.R = Большой\nWords = large.txt\n\n"
            "[tm t.tmb]\nDirection = ER\nName.R = Фразы\nFile = t.tmx\n");
        dist_ = temp_ / "dist";
        // setup.inf: the description files are unpacked into working copies for the whole run.
        ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"build", temp_ / "src/crash.manifest",
                                                              dist_, "--setup-inf"}),
                  0);
        workFolder_ = GetUserWorkFolder();
        ASSERT_FALSE(workFolder_.empty());
        hive_ = std::getenv("QUILLON_REGISTRY");
        // The product pauses 1 ms before each progress report of an import, as from a slow
        // medium, so that random kills land inside the import as well as inside unpacking.
        ASSERT_EQ(CurrentPorts().registry->SetValue(RegistryRoot::LocalMachine,
                                                    "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
                                                    "ImportProgressPause", RegistryValue::Dword(1)),
                  0);
    }

    std::vector<std::string> Install() const {
        return {"install", dist_, "--collection", "1", "--yes"};
    }
    static std::vector<std::string> Remove() { return {"remove", "--all", "--yes"}; }
    int RunToEnd(const std::vector<std::string>& arguments) const {
        CliRun run(arguments, temp_ / "normal.jsonl");
        return run.Wait();
    }

    // The product root and the hive as they are now, to start each kill from the same state.
    void Snapshot() {
        fs::remove_all(temp_ / "snapshot");
        fs::create_directories(temp_ / "snapshot");
        fs::copy(root_, temp_ / "snapshot/product", fs::copy_options::recursive);
        fs::copy_file(hive_, temp_ / "snapshot/registry.reg");
    }
    void Restore() const {
        fs::remove_all(root_);
        fs::copy(temp_ / "snapshot/product", root_, fs::copy_options::recursive);
        fs::copy_file(temp_ / "snapshot/registry.reg", hive_, fs::copy_options::overwrite_existing);
    }

    // Answers the first column of every row of `sql` on the catalogue, read only.
    std::vector<std::string> Query(const std::string& sql) const {
        std::vector<std::string> rows;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((root_ + "/catalogue.db").c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK)
                while (sqlite3_step(statement) == SQLITE_ROW)
                    rows.emplace_back(
                        reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return rows;
    }

    // The product holds either the old or the new state of each file: checked after every kill.
    void ExpectWholeProduct(const std::string& when) const {
        EXPECT_EQ(Query("PRAGMA integrity_check"), std::vector<std::string>{"ok"}) << when;
        std::string problems;
        EXPECT_EQ(RunProductTool({"verify"}, &problems), 0) << when << "\n" << problems;
        // (verify opened the product, which finishes or undoes what a killed change left.)
        const auto catalogued = Query("SELECT r.code || '/' || d.file FROM dictionaries d "
                                      "JOIN directions r ON d.direction = r.id");
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(root_ + "/directions"))
            if (entry.is_regular_file() &&
                entry.path().filename().string().rfind("GENDICT.", 0) != 0)
                files.insert(entry.path().parent_path().filename().string() + "/" +
                             entry.path().filename().string());
        EXPECT_EQ(files, std::set<std::string>(catalogued.begin(), catalogued.end())) << when;
        const auto stored = Query("SELECT stored FROM tm_bases");
        std::set<std::string> tm;
        for (const auto& entry : fs::directory_iterator(root_ + "/tm"))
            tm.insert("tm/" + entry.path().filename().string());
        EXPECT_EQ(tm, std::set<std::string>(stored.begin(), stored.end())) << when;
    }

    // Leftovers of the installer: at most one killed run's folder waits for the next run.
    std::vector<std::string> WorkLeftovers() const { return FilesIn(workFolder_); }
    void ExpectNoTemporaryFiles(const std::string& when) const {
        for (const auto& name : WorkLeftovers())
            ADD_FAILURE() << when << ": left in the work folder: " << name << " "
                          << FilesIn(workFolder_ + name).size();
        const std::string temp = std::getenv("TMPDIR");
        const std::string fallback = "quillon-" + std::to_string(::geteuid()) + "-";
        for (const auto& entry : fs::directory_iterator(temp))
            EXPECT_NE(entry.path().filename().string().rfind(fallback, 0), 0u)
                << when << ": " << entry.path();
        if (const std::string product = GetProductTempFolder(); fs::exists(product)) {
            for (const auto& entry : fs::recursive_directory_iterator(product))
                EXPECT_FALSE(entry.is_regular_file()) << when << ": " << entry.path();
        }
    }

    // After a kill: the product whole; the next run of the same command removes the killed run's
    // folder, completes with `expectedCode`, and leaves nothing behind.
    void AfterKill(const std::vector<std::string>& command, int expectedCode, const std::string& when) {
        const auto left = WorkLeftovers();
        EXPECT_LE(left.size(), 1u) << when;
        EXPECT_EQ(RunToEnd(command), expectedCode) << when;
        ExpectWholeProduct(when + ", then run again");
        ExpectNoTemporaryFiles(when + ", then run again");
    }
    // A removal killed, then run again: 0 when the killed one left a collection to remove, 5
    // (nothing done) when it had removed them all.
    void AfterKilledRemoval(const std::string& when) {
        ExpectWholeProduct(when);
        const bool left = Query("SELECT count(*) FROM collections") != std::vector<std::string>{"0"};
        AfterKill(Remove(), left ? 0 : 5, when);
        ExpectAllRemoved(when);
    }
    // An installation killed, then run again: everything installed or already there, exit 0.
    void AfterKilledInstallation(const std::string& when) {
        ExpectWholeProduct(when);
        AfterKill(Install(), 0, when);
        ExpectAllInstalled();
    }

    // Nothing of the collection is left: no collection, dictionary or TM base.
    void ExpectAllRemoved(const std::string& when) const {
        for (const char* table : {"collections", "dictionaries", "tm_bases"})
            EXPECT_EQ(Query(std::string("SELECT count(*) FROM ") + table), std::vector<std::string>{"0"})
                << when << ": " << table;
    }

    // The collection, both its dictionaries and its TM base are in the product.
    void ExpectAllInstalled() const {
        EXPECT_EQ(Query("SELECT count(*) FROM collections"), std::vector<std::string>{"1"});
        EXPECT_EQ(Query("SELECT count(*) FROM dictionaries"), std::vector<std::string>{"2"});
        EXPECT_EQ(Query("SELECT count(*) FROM tm_bases"), std::vector<std::string>{"1"});
    }

    std::string dist_;
    std::string workFolder_;
    std::string hive_;
};

TEST_F(CrashTest, KilledInstallationsAndRemovalsLeaveAWholeProductAndNoLeftovers) {
    // A reference run gives the number of log lines and when the large dictionary is handled.
    Snapshot();
    std::vector<Clock::duration> times;
    {
        CliRun run(Install(), temp_ / "reference.jsonl");
        times = run.LineTimes();
        ASSERT_EQ(run.ExitCode(), 0) << ReadAll(temp_ / "reference.jsonl");
    }
    const std::string reference = ReadAll(temp_ / "reference.jsonl");
    ASSERT_EQ(Query("SELECT count(*) FROM dictionaries"), std::vector<std::string>{"2"});
    std::size_t largeFrom = 0, largeTo = 0, line = 0;
    for (std::size_t pos = 0; pos < reference.size(); pos = reference.find('\n', pos) + 1, ++line) {
        const std::string text = reference.substr(pos, reference.find('\n', pos) - pos);
        if (text.find("\"key\":\"large.dct\"") != std::string::npos)
            (text.find("item-started") != std::string::npos ? largeFrom : largeTo) = line;
    }
    ASSERT_LT(largeFrom, largeTo);

    // Each planned kill counts only when it landed, before the run ended by itself.
    std::size_t linesLanded = 0;
    for (std::size_t n = 1; n < times.size(); ++n) {
        Restore();
        CliRun run(Install(), temp_ / "killed.jsonl");
        if (run.KillAfterLines(n)) {
            ++linesLanded;
            AfterKilledInstallation("install killed after log line " + std::to_string(n));
        }
    }

    // QUILLON_CRASH_SEED repeats the random moments of an earlier run.
    const char* given = std::getenv("QUILLON_CRASH_SEED");
    const unsigned seed =
        given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<Clock::rep> moment(times[largeFrom].count(),
                                                     times[largeTo].count());
    // A run faster than the reference one may end before its moment: another moment is drawn, at
    // most twice more, and only kills that landed count.
    int randomLanded = 0;
    for (int i = 0; i < kRandomKills; ++i) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            Restore();
            const Clock::duration at(moment(random));
            CliRun run(Install(), temp_ / "killed.jsonl");
            if (run.KillAt(at)) {
                ++randomLanded;
                AfterKilledInstallation("install killed at " + std::to_string(at.count() / 1000) + " µs (seed " +
                                        std::to_string(seed) + ")");
                break;
            }
            // The run ended by itself: the product must be whole and installed.
            ExpectAllInstalled();
        }
    }

    // Removals, each from the installed state.
    Restore();
    ASSERT_EQ(RunToEnd(Install()), 0);
    Snapshot();
    std::size_t removeLines = 0;
    {
        CliRun run(Remove(), temp_ / "reference.jsonl");
        ASSERT_EQ(run.Wait(), 0);
        removeLines = LinesIn(temp_ / "reference.jsonl");
    }
    EXPECT_TRUE(Query("SELECT name FROM collections").empty());
    std::size_t removeLanded = 0;
    for (std::size_t n = 1; n < removeLines; ++n) {
        Restore();
        CliRun run(Remove(), temp_ / "killed.jsonl");
        if (run.KillAfterLines(n)) {
            ++removeLanded;
            AfterKilledRemoval("remove killed after log line " + std::to_string(n));
        }
    }
    std::printf("kills that landed: install after %zu of %zu log lines, at %d of %d random moments in "
                "%lld..%lld ms (seed %u); remove after %zu of %zu log lines\n",
                linesLanded, times.size() - 1, randomLanded, kRandomKills,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(times[largeFrom]).count()),
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(times[largeTo]).count()),
                seed, removeLanded, removeLines - 1);
    // A kill that came too late checked nothing: most of each kind must have landed.
    EXPECT_GT(2 * linesLanded, times.size() - 1);
    EXPECT_GT(2 * randomLanded, kRandomKills);
    EXPECT_GT(2 * removeLanded, removeLines - 1);
}

} // namespace
} // namespace quillon::test
