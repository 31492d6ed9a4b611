// The programs against hostile media and hostile neighbours: FIFOs at the description files'
// names, oversized description files, names that would drive a terminal, a reader that goes
// away, a file-size limit, a full standard output, SIGTERM while the kernel waits, planted logs.
#include "CliFixture.h"
#include "SmallDisk.h"
#include "descriptions/LoaderFixtures.h"
#include "product/RunFolder.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using test::RunProgram;
using test::ShellQuote;

class HostileMediaTest : public test::CliFixture {
protected:
    // A program of ours under `timeout`: 124 when it had to be killed.
    static ProgramResult Timed(const std::string& program, const std::string& arguments) {
        return RunProgram("timeout -s KILL 10 " + ShellQuote(program) + " " + arguments + " </dev/null");
    }
    // A folder holding `names` as FIFOs.
    std::string FifoFolder(const std::string& name, std::initializer_list<const char*> names) const {
        const std::string folder = temp_ / name;
        fs::create_directories(folder);
        for (const char* fifo : names)
            EXPECT_EQ(::mkfifo((folder + "/" + fifo).c_str(), 0644), 0);
        return folder;
    }
};

// A FIFO at the name of a description file hangs nothing: every entry point says there is no
// distribution and ends.
TEST_F(HostileMediaTest, FifosAsDescriptionFilesHangNoProgram) {
    for (const std::string& folder : {FifoFolder("plain", {"RAVIRI.INF", "SETUP.INI"}),
                                      FifoFolder("packed", {"setup.inf"})}) {
        const std::string dist = ShellQuote(folder);
        for (const auto& [program, arguments] :
             {std::pair{std::string(QUILLON_CLI), "list " + dist}, std::pair{std::string(QUILLON_CLI), "plan " + dist + " --collection 1"},
              std::pair{std::string(QUILLON_CLI), "install " + dist + " --collection 1 --yes"},
              std::pair{std::string(QUILLON_DIST_TOOL), "verify " + dist}, std::pair{std::string(QUILLON_DIST_TOOL), "describe " + dist}}) {
            const auto start = std::chrono::steady_clock::now();
            const ProgramResult r = Timed(program, arguments);
            EXPECT_NE(r.code, 124) << arguments << " hung\n" << r.output;
            EXPECT_NE(r.code, 0) << arguments << "\n" << r.output;
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << arguments;
        }
    }
}

// Description files far beyond any real one are refused before they cost memory: a 9 MiB file,
// and one of more sections than the bound, give message 2001.
TEST_F(HostileMediaTest, OversizedDescriptionFilesAreRefused) {
    const std::string big = temp_ / "big";
    fs::create_directories(big);
    {
        std::ofstream raviri(big + "/RAVIRI.INF", std::ios::binary);
        raviri << "XCP2" << std::string((9u << 20) - 4, '\0');
    }
    test::CompileProfile("section \"x\"\n  S \"y\" \"z\"\n", big + "/SETUP.INI");
    ProgramResult r = Timed(QUILLON_CLI, "list " + ShellQuote(big));
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("message 2001:"), std::string::npos) << r.output;

    std::string sections;
    for (int i = 0; i < 100'001; ++i)
        sections += "section \"" + std::to_string(i) + "\"\n";
    test::CompileProfile(sections, big + "/RAVIRI.INF");
    r = Timed(QUILLON_CLI, "list " + ShellQuote(big));
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("message 2001:"), std::string::npos) << r.output;
}

// Names from a distribution cannot drive the terminal: control characters are shown escaped for
// people, and escaped as JSON escapes them.
TEST_F(HostileMediaTest, NamesThatWouldDriveTheTerminalAreEscaped) {
    const std::string dist = temp_ / "escapes";
    fs::create_directories(dist);
    test::CompileProfile("section \"1 - templates\"\n  S \"ER_X\" \"\"\nsection \"1 - collection\"\n"
                         "  S \"Name.R\" \"\x1b]0;owned\x07\x1b[2J\rquillon-cli: installed\xc2\x9b\"\n",
                         dist + "/RAVIRI.INF");
    test::CompileProfile("section \"ER_X\"\n  S \"Direction\" \"ER\"\n  S \"Name.R\" \"X\"\n", dist + "/SETUP.INI");
    const ProgramResult people = RunProgram(ShellQuote(QUILLON_CLI) + " list " + ShellQuote(dist) + " </dev/null");
    ASSERT_EQ(people.code, 0) << people.output;
    for (const char bad : {'\x1b', '\x07', '\r'})
        EXPECT_EQ(people.output.find(bad), std::string::npos) << people.output;
    EXPECT_EQ(people.output.find("\xc2\x9b"), std::string::npos) << people.output;
    EXPECT_NE(people.output.find("\\x1B]0;owned\\x07\\x1B[2J\\x0Dquillon-cli: installed\\u009B"), std::string::npos)
        << people.output;
    const ProgramResult json = Cli("list " + ShellQuote(dist) + " --json");
    EXPECT_NE(json.output.find("\\u001b]0;owned\\u0007\\u001b[2J\\rquillon-cli: installed\\u009b"), std::string::npos)
        << json.output;
}

// Invalid UTF-8 in a path (a folder named by bytes) reaches JSON as U+FFFD: a strict decoder
// reads every object and event line.
TEST_F(HostileMediaTest, InvalidUtf8InPathsIsReadableJson) {
    const std::string odd = temp_ / "dist-\xff\xfe";
    fs::rename(dist_, odd);
    const ProgramResult r = Cli("list " + ShellQuote(odd) + " --json");
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(Python("d = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))\nprint(d['distribution'][-3:])",
                     r.output),
              "\ufffd\ufffd/\n");
}

// A reader of the event stream that goes away (`--events | head -1`) ends the events, not the
// installation: it completes, and the product holds it.
TEST_F(HostileMediaTest, AReaderGoingAwayStopsTheEventsNotTheInstallation) {
    const ProgramResult r = RunProgram("bash -c " + ShellQuote(ShellQuote(QUILLON_CLI) + " install " + ShellQuote(dist_) +
                                                               " --collection 1 --yes --events </dev/null | head -1 "
                                                               ">/dev/null; echo \"exit ${PIPESTATUS[0]}\""));
    EXPECT_NE(r.output.find("exit 0"), std::string::npos) << r.output;
    std::string list;
    ASSERT_EQ(kaldo::test::RunProductTool({"list"}, &list), 0);
    EXPECT_NE(list.find("er_common.dct"), std::string::npos) << list;
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
}

// The process's file-size limit stops the unpacking with its size error, not the process: the
// JSON report says what was left, and nothing of the run stays behind (TearDown).
TEST_F(HostileMediaTest, AFileSizeLimitIsTheUnpackersSizeError) {
    // One dictionary of about 1 MiB, and a limit of 256 KiB.
    std::string words;
    for (int i = 0; i < 20000; ++i)
        words += "word" + std::to_string(i) + "\tслово " + std::to_string(i) + "\n";
    temp_.Write("big/words.txt", words);
    const std::string dist = temp_ / "big/dist";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL,
                                      {"build",
                                       temp_.Write("big/m.manifest", "[collection 1]\nName.R = Большая\nProfiles = ER_BIG\n"
                                                                     "[profile ER_BIG]\nDirection = ER\nName.R = Большой\n"
                                                                     "Dictionaries = big.dct\n[dictionary big.dct]\n"
                                                                     "Direction = ER\nName.R = Большой\nWords = words.txt\n"),
                                       dist}),
              0);
    const ProgramResult r = RunProgram("bash -c " + ShellQuote("ulimit -f 256; " + ShellQuote(QUILLON_CLI) + " install " +
                                                               ShellQuote(dist) + " --collection 1 --yes --json </dev/null"),
                                       false);
    EXPECT_EQ(r.code, 5) << r.output;
    EXPECT_EQ(Python("d = json.loads(sys.stdin.read())\nprint(d['exitCode'], d['messages'][0]['id'])", r.output),
              "5 1017\n");
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
}

// Standard output that cannot be written is a failure, not a silent success.
TEST_F(HostileMediaTest, AFullStandardOutputFailsTheCommand) {
    const ProgramResult r =
        RunProgram("{ " + ShellQuote(QUILLON_CLI) + " list " + ShellQuote(dist_) + " </dev/null >/dev/full; }");
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("standard output cannot be written"), std::string::npos) << r.output;
}

// SIGTERM while the kernel's import waits (its progress pause, as on a slow medium) ends the
// process within about a second; the product recovers.
TEST_F(HostileMediaTest, SigtermEndsAnInstallationWaitingInTheKernel) {
    ASSERT_EQ(RunProgram("printf '\\n[HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Velmar Soft\\\\KLDO9\\\\Reference]\\n"
                         "\"ImportProgressPause\"=dword:00002710\\n' >>" +
                         ShellQuote(std::getenv("QUILLON_REGISTRY")))
                  .code,
              0);
    const std::string log = temp_ / "steps.jsonl";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::freopen("/dev/null", "r", stdin);
        ::freopen("/dev/null", "w", stdout);
        ::execl(QUILLON_CLI, QUILLON_CLI, "install", dist_.c_str(), "--collection", "1", "--yes", "--log", log.c_str(),
                nullptr);
        ::_exit(127);
    }
    // The kernel's import has begun: its first progress report waits ten seconds.
    bool importing = false;
    for (int i = 0; i < 500 && !importing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        importing = test::ReadFile(log).find("\"operation\":\"GetDictionaryValue\"") != std::string::npos;
    }
    ASSERT_TRUE(importing) << test::ReadFile(log);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_GT(took, std::chrono::milliseconds(900)); // it waited for the checkpoint first
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
    // What the killed run left in its run folder goes with the next run's start.
    EXPECT_EQ(RemoveStaleRunFolders(GetUserWorkFolder(), "run-"), 1);
}

// --log appends only to a file of the user's own with one name, never to the hive; a write that
// fails is said once.
TEST_F(HostileMediaTest, TheLogIsWrittenOnlyToAFileOfOurOwn) {
    const std::string mine = temp_.Write("mine.jsonl", "");
    const std::string linked = temp_ / "linked.jsonl";
    ASSERT_EQ(::link(mine.c_str(), linked.c_str()), 0);
    ProgramResult r = Cli("directions --log " + ShellQuote(linked), true);
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("more than one name"), std::string::npos) << r.output;
    r = Cli("directions --log " + ShellQuote(std::getenv("QUILLON_REGISTRY")), true);
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("is the registry hive"), std::string::npos) << r.output;
    if (::geteuid() == 0) {
        const std::string theirs = temp_.Write("theirs.jsonl", "");
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        r = Cli("directions --log " + ShellQuote(theirs), true);
        EXPECT_EQ(r.code, 1) << r.output;
        EXPECT_NE(r.output.find("belongs to another user"), std::string::npos) << r.output;
    }
    ::unlink(linked.c_str());
    // Every write of the log fails: said once, on standard error.
    r = RunProgram("env " + test::WriteFault("EIO", 1, true, "mine.jsonl") + " " + ShellQuote(QUILLON_CLI) +
                   " directions --log " + ShellQuote(mine) + " </dev/null");
    const std::string said = "the log " + mine + " cannot be written";
    ASSERT_NE(r.output.find(said), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find(said, r.output.find(said) + 1), std::string::npos) << r.output;
}

// Out of file descriptors, the distribution is not called one without description files nor the
// product absent: at every limit the listing either succeeds or fails saying why (the product's
// kernel not started, or the system's reason), and some limits fail on the distribution. The
// program starts with the standard descriptors only, whatever this test inherited. In a sanitizer
// build the runtime needs a pipe to check a virtual call and, out of descriptors, calls any such
// call bad: that check is suppressed, and a run the runtime still stopped that way (in the
// product's library) proves nothing either way and is only counted.
TEST_F(HostileMediaTest, RunningOutOfFileDescriptorsIsSaidAsItIs) {
    const std::string suppressions = temp_.Write("ubsan.supp", "vptr:*\n");
    int listed = 0, distributionFailed = 0, starvedSanitizer = 0;
    for (int limit = 4; limit <= 16; ++limit) {
        SCOPED_TRACE("ulimit -n " + std::to_string(limit));
        const std::string script = "for f in /proc/$$/fd/*; do f=${f##*/}; [ \"$f\" -gt 2 ] && eval \"exec $f>&-\"; done; "
                                   "ulimit -n " + std::to_string(limit) + "; exec " + ShellQuote(QUILLON_CLI) + " list " +
                                   ShellQuote(dist_);
        const ProgramResult r = RunProgram("UBSAN_OPTIONS=\"${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}suppressions=" + suppressions +
                                           "\" bash -c " + ShellQuote(script) + " </dev/null", true);
        EXPECT_EQ(r.output.find("holds no description files"), std::string::npos) << r.output;
        if (r.output.find("runtime error: ") != std::string::npos &&
            r.output.find("object has invalid vptr\n<memory cannot be printed>") != std::string::npos) {
            ++starvedSanitizer;
            continue;
        }
        if (r.code == 0) {
            ++listed;
            continue;
        }
        EXPECT_EQ(r.code, 1) << r.output;
        if (r.output.find("the description files cannot be opened: Too many open files") != std::string::npos)
            ++distributionFailed;
        else
            EXPECT_NE(r.output.find("the translation kernel cannot be started: "), std::string::npos) << r.output;
    }
    EXPECT_GT(distributionFailed, 0);
    EXPECT_GT(listed, 0);
    EXPECT_LT(starvedSanitizer, 4);
}

} // namespace
} // namespace quillon
