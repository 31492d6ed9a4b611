// quillon-cli end to end: the sample distribution into a reference product, with the product's
// fault injection; exit codes, JSON reports, Ctrl-C.
#include "ProductFixture.h"
#include "descriptions/LoaderFixtures.h"
#include "install/Packer.h"
#include "platform/posix/PosixAdministrator.h"
#include "product/WorkFolders.h"
#include "support/Json.h"
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::RunProgram;
using test::ShellQuote;

class CliTest : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        dist_ = temp_ / "dist";
        ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL,
                                          {"build", std::string(QUILLON_SOURCE_DIR) + "/samples/demo/demo.manifest", dist_}),
                  0);
    }
    void TearDown() override {
        EXPECT_TRUE(FilesIn(GetUserWorkFolder()).empty());
        EXPECT_TRUE(FilesIn(GetProductTempFolder("MORVELX")).empty());
        ProductFixture::TearDown();
    }
    static test::ProgramResult Cli(const std::string& arguments, bool mergeErrors = false) {
        return RunProgram(ShellQuote(QUILLON_CLI) + " " + arguments + " </dev/null", mergeErrors);
    }
    std::string dist_;
};

TEST_F(CliTest, DirectionsAndList) {
    const auto directions = Cli("directions --json");
    ASSERT_EQ(directions.code, 0);
    EXPECT_EQ(directions.output, "{\"directions\":[{\"code\":\"ER\",\"id\":131073,\"name\":\"Англо-русский\"},"
                                 "{\"code\":\"RE\",\"id\":65538,\"name\":\"Русско-английский\"}],"
                                 "\"exitCode\":0,\"messages\":[]}\n");
    const auto list = Cli("list " + ShellQuote(dist_) + " --json");
    ASSERT_EQ(list.code, 0);
    EXPECT_NE(list.output.find("\"key\":\"ER_GENERAL\",\"direction\":\"ER\""), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("\"key\":\"FR_GENERAL\",\"direction\":\"FR\",\"name\":\"Французско-русский коллекция словарей "
                               "\\\"Общая лексика\\\"\",\"supported\":false"),
              std::string::npos);
    EXPECT_EQ(Cli("list " + ShellQuote(temp_ / "nowhere")).code, 1);
    // A disc root whose DICTS folder is listed in lower case.
    fs::create_directory(temp_ / "disc");
    fs::rename(dist_, temp_ / "disc/dicts");
    EXPECT_EQ(Cli("list " + ShellQuote(temp_ / "disc")).code, 0);
}

TEST_F(CliTest, OnlyTheCollectionsThePageOffersAreListedInItsOrderAndInstalled) {
    const std::string manifest = temp_ / "offer.manifest";
    std::ofstream(manifest) << "[collection 1]\nName.R = Бизнес\nProfiles = ER_A\n"
                               "[collection 2]\nName.R = Французский\nProfiles = FR_A\n"
                               "[collection 3]\nName.R = автомобили\nProfiles = ER_B\n"
                               "[profile ER_A]\nDirection = ER\nName.R = А\n[profile FR_A]\nDirection = FR\nName.R = Ф\n"
                               "[profile ER_B]\nDirection = ER\nName.R = Б\n";
    const std::string dist = temp_ / "offer";
    ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"build", manifest, dist}), 0);
    const auto list = Cli("list " + ShellQuote(dist));
    ASSERT_EQ(list.code, 0);
    const auto cars = list.output.find("3  автомобили\n"), business = list.output.find("1  Бизнес\n");
    ASSERT_NE(cars, std::string::npos) << list.output;
    EXPECT_LT(cars, business) << list.output; // sorted by name, letter case aside
    EXPECT_EQ(list.output.find("Французский"), std::string::npos) << list.output;

    const auto refused = Cli("install " + ShellQuote(dist) + " --collection 2 --yes", true);
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.output.find("collection 2 has no profile of a direction the kernel supports"), std::string::npos)
        << refused.output;
    const auto unknown = Cli("install " + ShellQuote(dist) + " --collection 7 --yes", true);
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.output.find("the distribution has no collection 7"), std::string::npos) << unknown.output;
}

// With the product set to English, quillon-cli speaks English: the catalogue beside it gives the
// messages, the progress lines, the disk-space figures and the names it builds.
TEST_F(CliTest, SpeaksTheProductsInterfaceLanguage) {
    ASSERT_EQ(kaldo::test::RunProductTool({"init", root_, "--directions", "ER,RE", "--lang", "0x0409"}), 0);
    const auto r = Cli("install " + ShellQuote(dist_) + " --collection 1 --profile FR_GENERAL --profile ER_GENERAL --yes",
                       true);
    EXPECT_EQ(r.code, 0) << r.output;
    for (const char* english :
         {"message 2005: This collection cannot be installed, because the corresponding language pair is not supported",
          "Disk space required: ", " bytes\nDisk space free: ", "The selected dictionary collection is being installed.",
          "Translation profiles to install: 1", "Installing English-Russian dictionary collection \"Общая лексика\""})
        EXPECT_NE(r.output.find(english), std::string::npos) << english << "\n" << r.output;
    EXPECT_EQ(r.output.find("Устанавливается"), std::string::npos) << r.output;
}

// A dictionary larger than the memory quillon-cli may use installs and verifies: every step
// streams it (unpacking, the head changes, the import). Not built under the sanitizers, whose
// shadow memory needs more address space than any such limit.
#if !defined(__SANITIZE_ADDRESS__)
TEST_F(CliTest, ADictionaryLargerThanItsMemoryLimitInstalls) {
    constexpr std::uint64_t kBytes = 96u << 20, kLimitKiB = 64 * 1024;
    const std::string dist = temp_ / "large";
    ASSERT_EQ(::mkdir(dist.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dist + "/DICT").c_str(), 0755), 0);
    // The dictionary: distinct words, written entry by entry; packed quickly (greedy).
    kaldo::DictionaryHead head;
    head.SetDirectionId(kaldo::test::kER);
    head.SetGuid("{4C0A3E6B-52F1-4F0C-9E7D-2B1A8C3D5E6F}");
    kaldo::DictionaryWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(temp_ / "large.dct", error)) << error;
    for (std::uint64_t i = 0; writer.BodyLength() < kBytes; ++i)
        ASSERT_TRUE(writer.Add({"w" + std::to_string(i * 2654435761u), {"перевод " + std::to_string(i)}}, error));
    ASSERT_TRUE(writer.Finish(head, error)) << error;
    ASSERT_EQ(PackFile(temp_ / "large.dct", dist + "/DICT/large.dct"), kPackOk);   // the fast level
    test::CompileProfile("section \"1 - templates\"\n  S \"ER_LARGE\" \"\"\nsection \"1 - collection\"\n"
                         "  S \"Name.R\" \"Большая\"\n",
                         dist + "/RAVIRI.INF");
    test::CompileProfile("section \"ER_LARGE\"\n  S \"Direction\" \"ER\"\n  S \"Name.R\" \"Большая\"\n"
                         "  S \"Dictionaries\" \"large.dct\"\nsection \"large.dct\"\n  S \"Direction\" \"ER\"\n"
                         "  S \"Name.R\" \"Большой\"\n  S \"NameOnCD\" \"DICT\\\\large.dct\"\n  I \"Size\" " +
                             std::to_string(fs::file_size(temp_ / "large.dct")) + "\n",
                         dist + "/SETUP.INI");
    const std::string limit = "ulimit -v " + std::to_string(kLimitKiB) + "; ";
    const auto r = RunProgram(limit + ShellQuote(QUILLON_CLI) + " install " + ShellQuote(dist) +
                              " --collection 1 --yes --json </dev/null");
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("\"installed\":true,\"uid\":\"{4C0A3E6B"), std::string::npos) << r.output;
    EXPECT_EQ(RunProgram(limit + ShellQuote(KALDO_PRODUCT_TOOL) + " verify").code, 0);
}
#endif

TEST_F(CliTest, InstallReportsTheKernelsIdentifiers) {
    const auto r = Cli("install " + ShellQuote(dist_) + " --collection 1 --json");
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("\"result\":\"installed\""), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\"kind\":\"dictionary\",\"key\":\"er_common.dct\""), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("\"installed\":false"), std::string::npos);
    EXPECT_EQ(r.output.find("\"uid\":\"\",\"kind\":\"dictionary\""), std::string::npos);
    std::string list;
    ASSERT_EQ(kaldo::test::RunProductTool({"list", "--json"}, &list), 0);
    EXPECT_NE(list.find("er_common.dct"), std::string::npos) << list;
    // A second installation of the same collection: the dictionaries exist (message 1), which
    // is no failure: they are already there, and the profiles are replaced.
    const auto again = Cli("install " + ShellQuote(dist_) + " --collection 1 --json");
    EXPECT_EQ(again.code, 0) << again.output;
    EXPECT_NE(again.output.find("{\"id\":1,\"text\":\"Словарь \\\""), std::string::npos) << again.output;
    EXPECT_NE(again.output.find("\"key\":\"er_common.dct\",\"name\":\"Англо-русский словарь \\\"Общая лексика "
                                "(англ.)\\\"\",\"result\":\"already-there\",\"installed\":true"),
              std::string::npos)
        << again.output;
}

TEST_F(CliTest, PartFailureAndNothingDone) {
    // The profile's only dictionary fails: its TM base and the profile are left, naming it.
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "ImportDictionary", "0x80004005", "1"}), 0);
    const auto r = Cli("install " + ShellQuote(dist_) + " --collection 1 --json");
    EXPECT_EQ(r.code, 5) << r.output;
    EXPECT_NE(r.output.find("\"messages\":[{\"id\":57364"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\"key\":\"er_general\",\"name\":\"Англо-русский коллекция словарей \\\"Общая "
                            "лексика\\\"\",\"result\":\"failed\",\"installed\":false,\"uid\":\"\",\"reason\":"
                            "\"Словарь \\\"Англо-русский словарь \\\"Общая лексика (англ.)\\\"\\\" не установлен.\"}"),
              std::string::npos)
        << r.output;
    std::string list;
    ASSERT_EQ(kaldo::test::RunProductTool({"list", "--json"}, &list), 0);
    EXPECT_EQ(list.find("er_general"), std::string::npos) << list;

    // For people, the message's second line goes on indented, without the blank line of its text
    // and without a written "\n".
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "ImportDictionary", "0x80004005", "1"}), 0);
    const auto people = RunProgram(ShellQuote(QUILLON_CLI) + " install " + ShellQuote(dist_) +
                                   " --collection 1 </dev/null 2>&1 >/dev/null", false); // standard error
    EXPECT_NE(people.output.find("message 57364: Ошибка при импортировании словаря.\n  Словарь \""), std::string::npos)
        << people.output;
    EXPECT_EQ(people.output.find("\n\n"), std::string::npos) << people.output;
    EXPECT_EQ(people.output.find("\\n"), std::string::npos) << people.output;

    // A profile of a direction the product lacks: message 2005, nothing to install.
    const auto fr = Cli("install " + ShellQuote(dist_) + " --collection 1 --profile FR_GENERAL --json");
    EXPECT_EQ(fr.code, 5) << fr.output;
    EXPECT_NE(fr.output.find("\"id\":2005"), std::string::npos);

    EXPECT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 99").code, 2);
    EXPECT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 1 --profile NOPE").code, 2);
    EXPECT_EQ(Cli("install " + ShellQuote(dist_)).code, 2);
}

// With --json, standard output is one JSON object and nothing else, whatever the command and
// its exit code, and the object's "exitCode" is the process's. With no terminal on standard
// error, nothing goes there either, except the usage after a mistake.
TEST_F(CliTest, JsonOutputIsOneObjectForEveryCommandAndExitCode) {
    constexpr const char* kPython = "/usr/bin/python3";
    if (!fs::exists(kPython))
        GTEST_SKIP() << kPython << " is not installed";
    const std::string dist = ShellQuote(dist_);
    const std::string noProduct = "QUILLON_REGISTRY=" + ShellQuote(temp_ / "empty.reg") + " ";
    const struct {
        std::string command;
        int code;
        bool usage;
    } cases[] = {
        {"directions", 0, false},
        {"list " + dist, 0, false},
        {"install " + dist + " --collection 1 --yes", 0, false},
        {"install " + dist + " --collection 2 --yes", 0, false}, // a shared dictionary is already there
        {"list " + ShellQuote(temp_ / "nowhere"), 1, false},
        {noProduct + "directions", 1, false},
        {"install " + dist + " --collection 99", 2, false},
        {"install " + dist, 2, true},
        {"no-such-command", 2, true},
        {"remove --all", 2, true}, // removing everything needs --yes without a terminal
        {"remove --all --yes", 0, false},
        {"remove --all --yes", 5, false},
        {"remove --direction XX --all-of-direction", 2, false},
    };
    const std::string out = temp_ / "out.json", err = temp_ / "err.txt";
    for (const auto& c : cases) {
        const std::string env = c.command.starts_with("QUILLON_REGISTRY") ? noProduct : "";
        const std::string arguments = env.empty() ? c.command : c.command.substr(env.size());
        const auto run = RunProgram(env + ShellQuote(QUILLON_CLI) + " " + arguments + " --json </dev/null >" +
                                    ShellQuote(out) + " 2>" + ShellQuote(err),
                                    false);
        EXPECT_EQ(run.code, c.code) << c.command << "\n" << test::ReadFile(out);
        const auto parsed = RunProgram(std::string(kPython) +
                                       " -c 'import json,sys; d=json.load(open(sys.argv[1])); "
                                       "print(d[\"exitCode\"], type(d[\"messages\"]).__name__)' " +
                                       ShellQuote(out) + " 2>&1");
        EXPECT_EQ(parsed.output, std::to_string(c.code) + " list\n") << c.command << "\n" << test::ReadFile(out);
        const std::string errors = test::ReadFile(err);
        // A mistake is named on standard error with a pointer to --help, never the whole usage.
        EXPECT_TRUE(c.usage ? errors.starts_with("quillon-cli: ") &&
                                  errors.ends_with("Try 'quillon-cli --help' for more information.\n")
                            : errors.empty())
            << c.command << "\n" << errors;
    }
}

TEST_F(CliTest, InterruptCancelsAtTheFirstCheckpoint) {
    // SIGINT is pending (blocked) when the program starts; it arrives as soon as the program
    // unblocks it, so the first checkpoint of the installation sees it.
    const std::string out = temp_ / "out.json";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        ::sigprocmask(SIG_BLOCK, &set, nullptr);
        ::raise(SIGINT);
        ::freopen(out.c_str(), "w", stdout);
        ::freopen("/dev/null", "r", stdin);
        ::execl(QUILLON_CLI, QUILLON_CLI, "install", dist_.c_str(), "--collection", "1", "--yes", "--json", nullptr);
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << test::ReadFile(out);
    EXPECT_NE(test::ReadFile(out).find("\"result\":\"cancelled\""), std::string::npos);
    std::string journal;
    kaldo::test::RunProductTool({"journal"}, &journal);
    EXPECT_EQ(journal.find("\"operation\":\"ImportDictionary\""), std::string::npos);
}

TEST_F(CliTest, RemoveByNameByDirectionAndAll) {
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 1").code, 0);
    // Collection 2 shares a dictionary with collection 1: the kernel has it already (message 1),
    // the rest installs.
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 2").code, 0);
    // Names are matched without regard to case; a name that is not installed is reported.
    const auto named = Cli("remove --direction ER --collection 'техника и компьютеры' --collection Nothing --json");
    EXPECT_EQ(named.code, 4) << named.output;
    EXPECT_NE(named.output.find("\"removed\":[{\"direction\":\"ER\",\"name\":\"Техника и компьютеры\"}]"),
              std::string::npos)
        << named.output;
    EXPECT_NE(named.output.find("\"notListed\":[\"Nothing\"]"), std::string::npos);
    // The dictionary the removed profile shared with the remaining one stays.
    std::string list;
    kaldo::test::RunProductTool({"list", "--json"}, &list);
    EXPECT_NE(list.find("er_common.dct"), std::string::npos);

    // A whole direction, or everything, is removed only with --yes when nobody can be asked.
    const auto refused = Cli("remove --direction ER --all-of-direction", true);
    EXPECT_EQ(refused.code, 2) << refused.output;
    EXPECT_NE(refused.output.find("give --yes"), std::string::npos) << refused.output;
    EXPECT_EQ(Cli("remove --direction ER --all-of-direction -y").code, 0);
    EXPECT_EQ(Cli("remove --direction=ER --all-of-direction --yes").code, 5);
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 1").code, 0);
    EXPECT_EQ(Cli("remove --all").code, 2);
    const auto everything = Cli("remove --all --yes --json");
    EXPECT_EQ(everything.code, 0) << everything.output;
    EXPECT_NE(everything.output.find("\"removed\":[{\"direction\":\"ER\",\"name\":\"Общая лексика\"}]"),
              std::string::npos)
        << everything.output;
    EXPECT_EQ(Cli("remove --all --yes").code, 5); // nothing left
    EXPECT_EQ(Cli("remove --direction XX --all-of-direction").code, 2);
    EXPECT_EQ(Cli("remove --all --direction ER").code, 2);
}

// A user who may not write the product is told so, with the path, before anything is tried.
TEST_F(CliTest, AUserWhoMayNotChangeTheProductIsToldBeforeAnythingIsTried) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may change everything: run as another user";
    const std::vector<std::string> folders = posix::ProductDataFolders();
    ASSERT_FALSE(folders.empty());
    ASSERT_EQ(::chmod(folders[0].c_str(), 0500), 0);
    const auto install = Cli("install " + ShellQuote(dist_) + " --collection 1 --yes", true);
    const auto remove = Cli("remove --all --yes", true);
    ::chmod(folders[0].c_str(), 0755);
    EXPECT_EQ(install.code, 1) << install.output;
    EXPECT_NE(install.output.find("quillon-cli: install changes the KALDO product, and this user may not write " + folders[0]),
              std::string::npos)
        << install.output;
    EXPECT_EQ(remove.code, 1) << remove.output;
    EXPECT_NE(remove.output.find("quillon-cli: remove changes the KALDO product"), std::string::npos) << remove.output;
    std::string journal; // the kernel was asked to change nothing
    kaldo::test::RunProductTool({"journal"}, &journal);
    EXPECT_EQ(journal.find("\"operation\":\"ImportDictionary\""), std::string::npos) << journal;
}

// plan --json says what the product holds already, per item, as a fleet tool needs to stay idempotent;
// remove DIST --collection ID removes that collection's installed profiles, and then nothing.
TEST_F(CliTest, PlanSaysWhatIsThereAndADistributionsCollectionIsRemoved) {
    const auto present = [this](const std::string& id) {
        const std::string plan = temp_.Write("plan.json", Cli("plan " + ShellQuote(dist_) + " --collection " + id + " --json").output);
        return RunProgram("/usr/bin/python3 -c " +
                              ShellQuote("import json,sys\nd = json.load(open(sys.argv[1]))\n"
                                         "for i in d['items']: print(i['kind'], i['key'], i['present'], "
                                         "i.get('direction', '-'), i.get('profileName', '-'))") +
                              " " + ShellQuote(plan),
                          true)
            .output;
    };
    EXPECT_EQ(present("1"), "dictionary er_common.dct False - -\ntm er_general.tmb False - -\n"
                            "profile er_general False ER Общая лексика\n");
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 1 --yes").code, 0);
    EXPECT_EQ(present("1"), "dictionary er_common.dct True - -\ntm er_general.tmb True - -\n"
                            "profile er_general True ER Общая лексика\n");
    // The second collection shares er_common.dct; its own dictionary, TM base and profile are not there.
    EXPECT_EQ(present("2"), "dictionary er_tech.dct False - -\ndictionary er_common.dct True - -\n"
                            "tm er_tech.tmb False - -\nprofile er_tech False ER Техника и компьютеры\n");

    const auto removed = Cli("remove " + ShellQuote(dist_) + " --collection 1 --json");
    EXPECT_EQ(removed.code, 0) << removed.output;
    EXPECT_NE(removed.output.find("\"removed\":[{\"direction\":\"ER\",\"name\":\"Общая лексика\"}]"),
              std::string::npos)
        << removed.output;
    EXPECT_EQ(Cli("remove " + ShellQuote(dist_) + " --collection 1").code, 5);
    EXPECT_EQ(Cli("remove " + ShellQuote(dist_) + " --collection 1 --direction ER", true).code, 2);
    std::string list;
    kaldo::test::RunProductTool({"list", "--json"}, &list);
    EXPECT_EQ(list.find("\"fullName\""), std::string::npos) << list;
}

TEST_F(CliTest, UnusableTemporaryFolderIsNamed) {
    test::TempDir disc, temp;
    disc.Write("DICTS/setup.inf", "a compound file");
    temp.Write("KALDO", "not a folder");
    const auto r = RunProgram("TMPDIR=" + ShellQuote(temp.Path()) + " " + ShellQuote(QUILLON_CLI) + " list " +
                                  ShellQuote(disc.Path()) + " </dev/null",
                              true);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("message 2041: Каталог для временных файлов \"" + temp / "KALDO" + "\""), std::string::npos)
        << r.output;
}

TEST_F(CliTest, NoProductShowsMessage1035) {
    const std::string hive = std::getenv("QUILLON_REGISTRY");
    const auto r = RunProgram("QUILLON_REGISTRY=" + ShellQuote(temp_ / "empty.reg") + " " + ShellQuote(QUILLON_CLI) +
                                  " list " + ShellQuote(dist_),
                              true);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("message 1035: Систем перевода семейства KALDO на вашем компьютере не обнаружено."),
              std::string::npos)
        << r.output;
}

// "NAME 1.2" (or 1.2.3…) and a line break.
bool IsVersionLine(const std::string& text, const std::string& name) {
    if (!text.starts_with(name + " ") || !text.ends_with("\n"))
        return false;
    const std::string version = text.substr(name.size() + 1, text.size() - name.size() - 2);
    return !version.empty() && version.front() != '.' && version.back() != '.' &&
           version.find('.') != std::string::npos && version.find("..") == std::string::npos &&
           version.find_first_not_of("0123456789.") == std::string::npos;
}

// --help and -h print the usage on standard output and succeed, --version the version. A mistake
// is named on standard error with a pointer to --help, never the whole usage, with exit code 2
// (kaldo-product, the reference product's own tool, prints its usage).
TEST(Programs, HelpVersionAndMistakesFollowTheConventions) {
    std::vector<std::string> programs{QUILLON_CLI, QUILLON_DIST_TOOL, QUILLON_LAUNCHER, KALDO_PRODUCT_TOOL};
#ifdef QUILLON_INSTALLER
    programs.push_back(QUILLON_INSTALLER);
#endif
    test::TempDir runtime; // the window's runtime folder, private
    for (const std::string& program : programs) {
        const std::string name = program.substr(program.rfind('/') + 1);
        const std::string env =
            name == "quillon" ? "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" + ShellQuote(runtime.Path()) + " " : "";
        for (const char* flag : {"--help", "-h"}) {
            const auto help = RunProgram(env + ShellQuote(program) + " " + flag + " 2>/dev/null", false);
            EXPECT_EQ(help.code, 0) << name << " " << flag;
            EXPECT_TRUE(help.output.starts_with("usage: " + name + " ")) << help.output;
        }
        const auto version = RunProgram(env + ShellQuote(program) + " --version 2>/dev/null", false);
        EXPECT_EQ(version.code, 0) << name;
        EXPECT_TRUE(IsVersionLine(version.output, name)) << version.output;
        const auto mistake = RunProgram(env + ShellQuote(program) + " --no-such-option 2>&1 >/dev/null", false);
        EXPECT_EQ(mistake.code, 2) << name;
        if (name == "kaldo-product")
            EXPECT_TRUE(mistake.output.starts_with("usage: " + name + " ")) << mistake.output;
        else
            EXPECT_EQ(mistake.output, name + ": unknown option '--no-such-option'\nTry '" + name +
                                          " --help' for more information.\n");
    }
}

// The command lines of quillon-cli and quillon-dist: --name=value and --name value, short options
// bundled, "--" before an operand that starts with '-', options anywhere; every mistake named.
TEST_F(CliTest, CommandLinesFollowTheGnuConventions) {
    const std::string cli = ShellQuote(QUILLON_CLI), dist = ShellQuote(QUILLON_DIST_TOOL);
    const struct {
        std::string command;
        std::string error; // the first line on standard error; empty: none
    } mistakes[] = {
        {cli + " list --colection 1 x", "quillon-cli: unknown option '--colection'"},
        {cli + " install x -yz", "quillon-cli: unknown option '-z'"},
        {cli + " directions --log", "quillon-cli: option '--log' needs a value"},
        {cli + " directions --json=yes", "quillon-cli: option '--json' takes no value"},
        {cli + " directions --collection 1", "quillon-cli: option '--collection' does not apply to directions"},
        {cli + " list", "quillon-cli: list needs the distribution folder DIST"},
        {cli + " install x", "quillon-cli: install needs --collection ID (quillon-cli list DIST shows the identifiers)"},
        {cli + " install x --collection 1 --replace never", "quillon-cli: --replace takes replace, skip or ask, not 'never'"},
        {cli + " bogus", "quillon-cli: unknown command 'bogus'"},
        {dist + " verify --jsn x", "quillon-dist: verify: unknown option '--jsn'"},
        {dist + " bogus", "quillon-dist: unknown command 'bogus'"},
        {dist + " dict make --words", "quillon-dist: dict make: option '--words' needs a value"},
        {dist + " dict make --words a.txt --out b --version x", "quillon-dist: dict make: --version takes a number, not 'x'"},
    };
    for (const auto& m : mistakes) {
        const auto r = RunProgram(m.command + " </dev/null 2>&1 >/dev/null", false);
        EXPECT_EQ(r.code, 2) << m.command << "\n" << r.output;
        EXPECT_EQ(r.output.substr(0, r.output.find('\n')), m.error) << m.command;
        EXPECT_NE(r.output.find("--help' for more information."), std::string::npos) << r.output;
    }
    // Joined values, bundled short options and options after the operand install quietly: -q
    // leaves standard output empty, the exit status says it went well.
    const auto quiet = Cli("install --collection=1 -yq " + ShellQuote(dist_));
    EXPECT_EQ(quiet.code, 0) << quiet.output;
    EXPECT_EQ(quiet.output, "");
    // -v says every kernel call on standard error; --no-progress keeps the report, not the progress.
    const auto verbose = RunProgram(cli + " install " + ShellQuote(dist_) + " --collection 2 -v --no-progress --yes </dev/null",
                                    true);
    EXPECT_EQ(verbose.code, 0) << verbose.output;
    EXPECT_NE(verbose.output.find("quillon-cli: kernel ImportDictionary: 0x00000000"), std::string::npos) << verbose.output;
    EXPECT_NE(verbose.output.find("quillon-cli: installed"), std::string::npos) << verbose.output;
    EXPECT_EQ(verbose.output.find("Устанавливается"), std::string::npos) << verbose.output;
    // "--" ends the options: a folder named "-d" is the distribution, not an option.
    ASSERT_EQ(::mkdir((temp_ / "-d").c_str(), 0755), 0);
    const auto dashed = RunProgram("cd " + ShellQuote(temp_.Path()) + " && " + cli + " list -- -d </dev/null", true);
    EXPECT_EQ(dashed.code, 1) << dashed.output;
    EXPECT_NE(dashed.output.find("-d holds no description files"), std::string::npos) << dashed.output;
    // quillon-dist: --json with a failure still prints one JSON object.
    const auto missing = RunProgram(dist + " verify " + ShellQuote(temp_ / "nope") + " --json 2>/dev/null", false);
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.output, "{\"error\":" + JsonString(temp_ / "nope" + ": No such file or directory") + ",\"exitCode\":1}\n");
    const auto described = RunProgram(dist + " describe --collection=1 --json -- " + ShellQuote(dist_) + " 2>&1", false);
    EXPECT_EQ(described.code, 0) << described.output;
    EXPECT_TRUE(described.output.starts_with("{\"collections\":[")) << described.output;
}

} // namespace
} // namespace quillon
