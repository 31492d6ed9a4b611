// Every program that reads the hive names a hive path that is not a regular file (a FIFO would
// block a reader forever; a folder is no hive) instead of hanging or reporting no product.
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace quillon {
namespace {

using test::ShellQuote;

TEST(HiveFile, EveryProgramNamesAHiveThatIsNotARegularFile) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.reg").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.reg");
    std::vector<std::string> programs{ShellQuote(QUILLON_CLI) + " directions",
                                      ShellQuote(KALDO_PRODUCT_TOOL) + " status",
                                      ShellQuote(QUILLON_LAUNCHER)};
#ifdef QUILLON_INSTALLER
    programs.push_back(
        "env QUILLON_AUTO_ANSWER=default QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" +
        ShellQuote(dir.Path()) + " " + ShellQuote(QUILLON_INSTALLER));
#endif
    for (const auto& [name, kind] :
         {std::pair{"fifo.reg", "a FIFO"}, std::pair{"folder.reg", "a folder"}}) {
        for (const std::string& program : programs) {
            // `timeout`: a program that blocks on the FIFO fails the test instead of hanging it.
            const auto r = test::RunProgram("QUILLON_REGISTRY=" + ShellQuote(dir / name) +
                                                " timeout 20 " + program + " </dev/null",
                                            true);
            EXPECT_NE(r.code, 0) << program;
            EXPECT_NE(r.code, 124) << program << " hung on " << name;
            EXPECT_NE(r.output.find(dir / name + ": the registry hive is " + kind +
                                    ", not a regular file"),
                      std::string::npos)
                << program << ": " << r.output;
        }
    }
}

} // namespace
} // namespace quillon
