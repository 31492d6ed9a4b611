// Interoperability with independent implementations from Debian: python3-olefile reads what our
// writer makes, and our reader reads what msitools' msibuild (libgsf's writer) makes; both sides'
// listings of the root storage (name, size, CRC-32 of the content) must agree.
#include "CfbFixture.h"

#include "support/CompoundFile.h"
#include "support/Crc32.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>

namespace quillon {
namespace {

using test::Bytes;
using test::TempDir;

constexpr const char* kPython = "/usr/bin/python3";

const char* kListScript = R"(import sys, zlib, olefile
o = olefile.OleFileIO(sys.argv[1], raise_defects=olefile.DEFECT_INCORRECT)
print("sector", o.sectorsize)
for e in o.listdir(streams=True, storages=True):
    if len(e) != 1:
        continue
    if o.get_type(e[0]) == olefile.STGTY_STREAM:
        data = o.openstream(e[0]).read()
        print("stream", e[0].encode("utf-8").hex(), len(data), "%08x" % (zlib.crc32(data) & 0xffffffff))
    else:
        print("storage", e[0].encode("utf-8").hex())
)";

// Runs `command`; answers its standard output, or nothing when it failed.
std::optional<std::string> RunCommand(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

bool HaveOlefile() {
    return RunCommand(std::string(kPython) + " -c 'import olefile' 2>/dev/null").has_value();
}

std::string Hex(const std::string& s) {
    std::string out;
    char b[3];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Our reader's listing in the script's format.
std::vector<std::string> OurListing(const std::string& path) {
    CompoundFile f;
    EXPECT_TRUE(f.Open(path)) << f.Error();
    std::string text = "sector " + std::to_string(f.SectorSize()) + "\n";
    for (std::size_t i = 0; i < f.Elements().size(); ++i) {
        const CompoundEntry& e = f.Elements()[i];
        if (!e.isStream) {
            text += "storage " + Hex(e.name) + "\n";
            continue;
        }
        std::vector<std::uint8_t> data;
        EXPECT_TRUE(f.ReadAll(static_cast<int>(i), data)) << f.Error();
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", Crc32::Of(data.data(), data.size()));
        text += "stream " + Hex(e.name) + " " + std::to_string(data.size()) + " " + crc + "\n";
    }
    return Lines(text);
}

std::vector<std::string> OlefileListing(const TempDir& dir, const std::string& path) {
    const std::string script = dir.Write("list.py", kListScript);
    const auto out = RunCommand(std::string(kPython) + " '" + script + "' '" + path + "'");
    EXPECT_TRUE(out.has_value()) << "olefile refused " << path;
    return Lines(out.value_or(""));
}

TEST(CompoundFileInterop, OlefileReadsWhatOurWriterMakes) {
    if (!HaveOlefile())
        GTEST_SKIP() << "python3-olefile is not installed (" << kPython
                     << " cannot import olefile)";
    TempDir dir;
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        CompoundFileWriter w(version);
        ASSERT_TRUE(w.AddStream("RAVIRI.INF", Bytes(5000, 1)));
        ASSERT_TRUE(w.AddStream("SETUP.INI", Bytes(300, 2)));
        ASSERT_TRUE(w.AddStream("Пустой", {}));
        ASSERT_TRUE(w.AddStream("Edge4096", Bytes(4096, 3)));
        ASSERT_TRUE(w.AddStream("Edge4095", Bytes(4095, 4)));
        for (int i = 0; i < 30; ++i) // a directory of several sectors
            ASSERT_TRUE(w.AddStream("item" + std::to_string(i),
                                    Bytes(static_cast<std::size_t>(i * 37), std::uint8_t(i))));
        const std::string path = dir / ("ours" + std::to_string(version) + ".cfb");
        ASSERT_TRUE(w.WriteFile(path)) << w.Error();
        const auto theirs = OlefileListing(dir, path);
        EXPECT_EQ(theirs.size(), 36u);
        EXPECT_EQ(theirs, OurListing(path));
    }
}

TEST(CompoundFileInterop, OlefileReadsOurDifatBeyondTheHeader) {
    if (!HaveOlefile())
        GTEST_SKIP() << "python3-olefile is not installed (" << kPython
                     << " cannot import olefile)";
    TempDir dir;
    CompoundFileWriter w;
    ASSERT_TRUE(w.AddStream("Huge", Bytes(7600000, 9)));
    ASSERT_TRUE(w.AddStream("small", Bytes(10, 1)));
    const std::string path = dir / "huge.cfb";
    ASSERT_TRUE(w.WriteFile(path)) << w.Error();
    EXPECT_EQ(OlefileListing(dir, path), OurListing(path));
}

TEST(CompoundFileInterop, OurReaderReadsAnMsiMadeByMsibuild) {
    if (!RunCommand("command -v msibuild >/dev/null 2>&1"))
        GTEST_SKIP() << "msibuild (Debian package msitools) is not installed";
    if (!HaveOlefile())
        GTEST_SKIP() << "python3-olefile is not installed (" << kPython
                     << " cannot import olefile)";
    TempDir dir;
    const std::string small = dir.Write("small.txt", "RAVIRI.INF of a test distribution\n");
    const auto bigBytes = Bytes(9000, 7);
    const std::string big = dir.Write("big.bin", std::string(bigBytes.begin(), bigBytes.end()));
    const auto edgeBytes = Bytes(4096, 8);
    const std::string edge = dir.Write("edge.bin", std::string(edgeBytes.begin(), edgeBytes.end()));
    const std::string msi = dir / "package.msi";
    const std::string q = "'";
    ASSERT_TRUE(RunCommand("msibuild " + q + msi + q + " -s Quillon >/dev/null 2>&1"));
    ASSERT_TRUE(
        RunCommand("msibuild " + q + msi + q + " -a Small " + q + small + q + " >/dev/null 2>&1"));
    ASSERT_TRUE(
        RunCommand("msibuild " + q + msi + q + " -a Big " + q + big + q + " >/dev/null 2>&1"));
    ASSERT_TRUE(
        RunCommand("msibuild " + q + msi + q + " -a Edge " + q + edge + q + " >/dev/null 2>&1"));
    const auto theirs = OlefileListing(dir, msi);
    EXPECT_GE(theirs.size(), 5u); // the sector line, the three streams, the summary information
    EXPECT_EQ(OurListing(msi), theirs);
    // The summary information stream is there under its plain name.
    CompoundFile f;
    ASSERT_TRUE(f.Open(msi)) << f.Error();
    EXPECT_GE(f.Find("\x05SummaryInformation"), 0);
}

} // namespace
} // namespace quillon
