#pragma once
// quillon-cli end to end: a reference product in a scratch folder, the sample distribution built
// from samples/demo/demo.manifest, the program run with the test's hive; JSON read with Python.
#include "ProductFixture.h"
#include "product/WorkFolders.h"
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace quillon::test {

class CliFixture : public kaldo::test::ProductFixture {
protected:
    static constexpr const char* kPython = "/usr/bin/python3";

    void SetUp() override {
        if (!std::filesystem::exists(kPython))
            GTEST_SKIP() << kPython << " is not installed";
        ProductFixture::SetUp();
        dist_ = temp_ / "dist";
        ASSERT_EQ(
            kaldo::test::RunProgram(
                QUILLON_DIST_TOOL,
                {"build", std::string(QUILLON_SOURCE_DIR) + "/samples/demo/demo.manifest", dist_}),
            0);
    }
    void TearDown() override {
        if (IsSkipped())
            return;
        EXPECT_TRUE(FilesIn(GetUserWorkFolder()).empty());
        ProductFixture::TearDown();
    }
    // quillon-cli with `arguments` (quoted by the caller), no terminal on standard input.
    static ProgramResult Cli(const std::string& arguments, bool mergeErrors = false) {
        return RunProgram(ShellQuote(QUILLON_CLI) + " " + arguments + " </dev/null", mergeErrors);
    }
    // Runs a Python program with `text` on its standard input; answers what it prints.
    std::string Python(const std::string& program, const std::string& text) const {
        const std::string input = temp_.Write("python-input", text);
        return RunProgram(std::string(kPython) + " -c " +
                          ShellQuote("import json,sys\n" + program) + " <" + ShellQuote(input) +
                          " 2>&1")
            .output;
    }
    // The operations of the product's journal written since `before` lines.
    std::string JournalOperationsSince(std::size_t before) const {
        std::string journal;
        kaldo::test::RunProductTool({"journal"}, &journal);
        return Python("for i, l in enumerate(sys.stdin):\n"
                      "    if i >= " +
                          std::to_string(before) + ": print(json.loads(l)['operation'])",
                      journal);
    }
    static std::size_t JournalLines() {
        std::string journal;
        kaldo::test::RunProductTool({"journal"}, &journal);
        std::size_t n = 0;
        for (char c : journal)
            n += c == '\n';
        return n;
    }

    std::string dist_;
};

} // namespace quillon::test
