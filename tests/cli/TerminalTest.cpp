// quillon-cli on a terminal, as a user sees it: a pseudo-terminal of a given width, resized while
// an installation runs, and questions answered by typing.
#include "CliFixture.h"
#include "platform/Ports.h"
#include "platform/RegistryStore.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::test {
namespace {

// quillon-cli started on a new pseudo-terminal of `columns` columns.
class OnTerminal {
public:
    OnTerminal(const std::vector<std::string>& arguments, unsigned short columns) {
        struct winsize size {};
        size.ws_row = 24;
        size.ws_col = columns;
        std::vector<std::string> words{QUILLON_CLI};
        words.insert(words.end(), arguments.begin(), arguments.end());
        pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (auto& w : words)
                argv.push_back(w.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~OnTerminal() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            ::close(master_);
    }
    bool Started() const { return pid_ > 0; }

    // Reads what the program writes until `text` has appeared (true) or it stops writing.
    bool ReadUntil(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (output_.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !ReadSome())
                return false;
        }
        return true;
    }
    void Type(const std::string& text) { (void)!::write(master_, text.data(), text.size()); }
    void Resize(unsigned short columns) {
        struct winsize size {};
        size.ws_row = 24;
        size.ws_col = columns;
        ::ioctl(master_, TIOCSWINSZ, &size);
    }
    // Reads to the end; the exit status (-1 unless it exited).
    int Wait() {
        while (ReadSome()) {
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Output() const { return output_; }

private:
    bool ReadSome() {
        struct pollfd p {master_, POLLIN, 0};
        if (::poll(&p, 1, 60000) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) // EIO: the program has closed the terminal
            return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    std::string output_;
};

// The characters (UTF-8 code points) of a line.
std::size_t Columns(const std::string& line) {
    std::size_t n = 0;
    for (unsigned char c : line)
        n += (c & 0xC0) != 0x80;
    return n;
}

// The progress lines drawn in place: what follows each "erase the line" sequence, up to the
// next carriage return or line break.
std::vector<std::string> DrawnLines(const std::string& output) {
    std::vector<std::string> lines;
    for (std::size_t at = output.find("\033[K"); at != std::string::npos; at = output.find("\033[K", at + 1)) {
        const std::size_t from = at + 3, to = output.find_first_of("\r\n", from);
        lines.push_back(output.substr(from, to == std::string::npos ? std::string::npos : to - from));
    }
    return lines;
}

class TerminalTest : public CliFixture {
protected:
    void SlowImports() {
        // Each import's progress report waits 150 ms, so that the installation is still running
        // when the terminal is resized.
        ASSERT_EQ(CurrentPorts().registry->SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
                                                    "ImportProgressPause", RegistryValue::Dword(150)),
                  0);
    }
    std::string CollectionCount() const {
        std::string list;
        kaldo::test::RunProductTool({"list", "--json"}, &list);
        std::size_t n = 0;
        for (std::size_t at = list.find("\"fullName\""); at != std::string::npos; at = list.find("\"fullName\"", at + 1))
            ++n;
        return std::to_string(n);
    }
};

// The bar is drawn within the terminal's width, and when the terminal grows the next drawing
// uses the new width: the item's name, cut at 40 columns, shows whole.
TEST_F(TerminalTest, ProgressFitsTheTerminalAndFollowsItsResizing) {
    SlowImports();
    OnTerminal run({"install", dist_, "--collection", "1", "--yes"}, 40);
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.ReadUntil("\033[K")) << run.Output();
    const std::size_t beforeResize = run.Output().size();
    run.Resize(160);
    EXPECT_EQ(run.Wait(), 0) << run.Output();
    const std::vector<std::string> narrow = DrawnLines(run.Output().substr(0, beforeResize));
    const std::vector<std::string> wide = DrawnLines(run.Output().substr(beforeResize));
    ASSERT_FALSE(narrow.empty());
    ASSERT_FALSE(wide.empty()) << "nothing was drawn after the resize";
    for (const std::string& line : narrow)
        EXPECT_LE(Columns(line), 39u) << line;
    std::size_t widest = 0;
    for (const std::string& line : wide) {
        EXPECT_LE(Columns(line), 159u) << line;
        widest = std::max(widest, Columns(line));
    }
    EXPECT_GT(widest, 39u) << "the drawing after the resize kept the old width";
    EXPECT_NE(run.Output().find("quillon-cli: installed"), std::string::npos);
}

// Not on a terminal, the progress is plain lines: no escape sequence, no carriage return.
TEST_F(TerminalTest, NoEscapeSequencesWithoutATerminal) {
    const auto r = Cli("install " + ShellQuote(dist_) + " --collection 1 --yes", true);
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(r.output.find('\033'), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\r'), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Устанавливается"), std::string::npos) << r.output;
}

// Removing everything is asked first on a terminal: No removes nothing (exit 3), Yes removes.
TEST_F(TerminalTest, RemovingEverythingIsAskedOnATerminal) {
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 1 --yes").code, 0);
    ASSERT_EQ(CollectionCount(), "1"); // its English-Russian profile: the product has no German-Russian
    {
        OnTerminal run({"remove", "--all"}, 80);
        ASSERT_TRUE(run.ReadUntil("[y/n]? ")) << run.Output();
        EXPECT_NE(run.Output().find("Remove every collection the product holds, of every direction?"), std::string::npos);
        run.Type("n\n");
        EXPECT_EQ(run.Wait(), 3) << run.Output();
    }
    EXPECT_EQ(CollectionCount(), "1");
    {
        OnTerminal run({"remove", "--direction", "ER", "--all-of-direction"}, 80);
        ASSERT_TRUE(run.ReadUntil("[y/n]? ")) << run.Output();
        EXPECT_NE(run.Output().find("Remove every ER collection the product holds?"), std::string::npos);
        run.Type("y\n");
        EXPECT_EQ(run.Wait(), 0) << run.Output();
        EXPECT_NE(run.Output().find("removed  ER  Общая лексика"), std::string::npos) << run.Output();
    }
    EXPECT_EQ(CollectionCount(), "0");
}

} // namespace
} // namespace quillon::test
