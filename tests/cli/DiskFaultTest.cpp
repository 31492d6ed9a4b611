// Disk faults meet each writer of an installation: the unpacker (packed dictionary to file), the
// extraction of working copies from setup.inf, the hive writer and the product's import. A full
// disk (a small file system, else a preloaded library answering ENOSPC) and an I/O error at a
// write, once and for good, each end with the installer's message, nothing half-written, and the
// collection installed before still intact.
#include "ProductFixture.h"
#include "SmallDisk.h"
#include "product/WorkFolders.h"
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using test::RunProgram;
using test::ShellQuote;

// A collection of one small dictionary, and one whose dictionary unpacks to about 1 MiB.
std::string Manifest() {
    return "[collection 1]\nName.R = Малая\nProfiles = ER_SMALL\n"
           "[collection 2]\nName.R = Большая\nProfiles = ER_BIG\n"
           "[profile ER_SMALL]\nDirection = ER\nName.R = Малый\nDictionaries = small.dct\n"
           "[profile ER_BIG]\nDirection = ER\nName.R = Большой\nDictionaries = big.dct\n"
           "[dictionary small.dct]\nDirection = ER\nName.R = Малый словарь\nWords = small.txt\n"
           "[dictionary big.dct]\nDirection = ER\nName.R = Большой словарь\nWords = big.txt\n";
}

std::string WordList(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "word" + std::to_string(i * 7919 % 100003) + "x" + std::to_string(i) + "\tслово номер " +
                std::to_string(i) + "\n";
    return text;
}

// One way of failing: the words put before a child's command line, what it is called, and
// whether the small disk is to be filled for it.
struct Fault {
    std::string name;
    std::string env;
    bool fill = false;
    int code = 5; // nothing done: without its dictionary the profile is not registered either
};

class DiskFaultTest : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        temp_.Write("src/small.txt", WordList(20));
        temp_.Write("src/big.txt", WordList(20000));
        const std::string manifest = temp_.Write("src/m.manifest", Manifest());
        dist_ = temp_ / "dist";
        packedDist_ = temp_ / "dist-setup-inf";
        ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"build", manifest, dist_}), 0);
        ASSERT_EQ(kaldo::test::RunProgram(QUILLON_DIST_TOOL, {"build", manifest, packedDist_, "--setup-inf"}), 0);
        hive_ = std::getenv("QUILLON_REGISTRY");
    }
    void TearDown() override {
        EXPECT_TRUE(FilesIn(GetUserWorkFolder()).empty());
        ProductFixture::TearDown();
    }

    static ProgramResult Run(const std::string& env, const std::string& program, const std::string& arguments) {
        return RunProgram("env " + env + " " + ShellQuote(program) + " " + arguments + " </dev/null 2>&1");
    }
    ProgramResult Install(const std::string& env, const std::string& dist, int collection) const {
        return Run(env, QUILLON_CLI, "install " + ShellQuote(dist) + " --collection " + std::to_string(collection) + " --yes");
    }
    // The collection installed before a fault: installed, and checked again after it.
    void InstallSmallCollection() {
        const ProgramResult r = Install("", dist_, 1);
        ASSERT_EQ(r.code, 0) << r.output;
    }
    // The product as it was before: its check passes, the small collection is there, the big
    // dictionary and its profile are not, and no temporary file is left in `folder`.
    void ExpectEarlierInstallationIntact(const std::string& context, const std::string& folder) const {
        const ProgramResult verify = Run("", KALDO_PRODUCT_TOOL, "verify");
        EXPECT_EQ(verify.code, 0) << context << "\n" << verify.output;
        const ProgramResult list = Run("", KALDO_PRODUCT_TOOL, "list");
        EXPECT_NE(list.output.find("small.dct"), std::string::npos) << context << "\n" << list.output;
        EXPECT_EQ(list.output.find("big.dct"), std::string::npos) << context << "\n" << list.output;
        EXPECT_EQ(list.output.find("  Большой ("), std::string::npos) << context << "\n" << list.output;
        EXPECT_FALSE(fs::exists(folder + "/big.dct")) << context;
        for (const auto& name : FilesIn(folder))
            EXPECT_EQ(name.find("tmp"), std::string::npos) << context << ": " << folder << "/" << name;
    }
    // ENOSPC: the small disk filled (see Begin) when it could be mounted (the caller has put the
    // writer's folder on it), else the preloaded library for `pathPart`; then EIO at the `nth`
    // write, once and for good.
    static std::vector<Fault> Faults(const test::SmallDisk& disk, const std::string& diskEnv,
                                     const std::string& pathPart, int nth = 1) {
        std::vector<Fault> faults;
        if (disk.Mounted())
            faults.push_back({"full file system", diskEnv, true});
        else
            faults.push_back({"ENOSPC", test::WriteFault("ENOSPC", 1, true, pathPart)});
        faults.push_back({"EIO once", test::WriteFault("EIO", nth, false, pathPart)});
        faults.push_back({"EIO for good", test::WriteFault("EIO", nth, true, pathPart)});
        return faults;
    }
    // Fills the disk for `fault` (leaving `leave` bytes), or empties it.
    static void Begin(const Fault& fault, test::SmallDisk& disk, unsigned long long leave) {
        disk.Unfill();
        if (fault.fill) {
            ASSERT_TRUE(disk.Fill(leave)) << disk.FreeBytes();
        }
    }

    std::string dist_, packedDist_, hive_;
};

TEST_F(DiskFaultTest, UnpackerReportsTheWriteErrorAndLeavesNoPartialFile) {
    InstallSmallCollection();
    test::SmallDisk disk(temp_ / "small");
    const std::string cache = disk.Folder() + "/cache";
    fs::create_directories(cache);
    // The third write is inside the file (the dictionary unpacks in many writes).
    for (const Fault& fault : Faults(disk, ShellQuote("XDG_CACHE_HOME=" + cache), "/KLDO/9.0/", 3)) {
        Begin(fault, disk, 256 << 10);
        const ProgramResult r = Install(fault.env, dist_, 2);
        EXPECT_EQ(r.code, 5) << fault.name << "\n" << r.output;
        EXPECT_NE(r.output.find("message 1015:"), std::string::npos) << fault.name << "\n" << r.output;
        ExpectEarlierInstallationIntact(fault.name, Folder("ER"));
        EXPECT_TRUE(FilesIn(cache + "/Velmar Soft/KLDO/9.0").empty()) << fault.name;
    }
}

TEST_F(DiskFaultTest, WorkingCopyExtractionReportsTheWriteErrorAndLeavesNoCopy) {
    InstallSmallCollection();
    test::SmallDisk disk(temp_ / "small");
    const std::string tmp = disk.Folder() + "/tmp";
    fs::create_directories(tmp + "/KALDO/12.0/MORVELX");
    fs::permissions(tmp + "/KALDO", fs::perms::owner_all);
    fs::permissions(tmp + "/KALDO/12.0", fs::perms::owner_all);
    fs::permissions(tmp + "/KALDO/12.0/MORVELX", fs::perms::owner_all);
    // The extraction's own file is the hidden temporary one beside the working copy; the copy of
    // setup.inf itself (named by a GUID) is written first.
    for (const Fault& fault : Faults(disk, ShellQuote("TMPDIR=" + tmp), "/MORVELX/.")) {
        Begin(fault, disk, 0);
        const ProgramResult r = Install(fault.env, packedDist_, 1);
        EXPECT_EQ(r.code, 1) << fault.name << "\n" << r.output;
        EXPECT_NE(r.output.find("message 1015:"), std::string::npos) << fault.name << "\n" << r.output;
        EXPECT_EQ(r.output.find("holds no description files"), std::string::npos) << fault.name << "\n" << r.output;
        EXPECT_TRUE(FilesIn(tmp + "/KALDO/12.0/MORVELX").empty()) << fault.name;
        EXPECT_TRUE(FilesIn(GetProductTempFolder("MORVELX")).empty()) << fault.name;
    }
    // The same distribution installs once the disk is well again.
    disk.Unfill();
    const ProgramResult again = Install(ShellQuote("TMPDIR=" + tmp), packedDist_, 2);
    EXPECT_EQ(again.code, 0) << again.output;
}

TEST_F(DiskFaultTest, HiveWriterKeepsTheHiveAsItWas) {
    InstallSmallCollection();
    test::SmallDisk disk(temp_ / "small");
    const std::string hive = disk.Folder() + "/registry.reg";
    fs::copy_file(hive_, hive);
    const std::string onDisk = ShellQuote("QUILLON_REGISTRY=" + hive);
    // One write first, so that the lock file exists before the disk is full.
    ASSERT_EQ(Run(onDisk, KALDO_PRODUCT_TOOL, "fault Probe.Before 0x80004005 1").code, 0);
    const std::string before = test::ReadFile(hive);
    auto faults = Faults(disk, "", "/registry.reg.tmp");
    faults.push_back({"EIO at fsync", test::SyncFault("EIO", "/registry.reg.tmp")});
    for (const Fault& fault : faults) {
        Begin(fault, disk, 0);
        const std::string env = onDisk + " " + fault.env;
        const ProgramResult r = Run(env, KALDO_PRODUCT_TOOL, "fault Probe.During 0x80004005 2");
        EXPECT_NE(r.code, 0) << fault.name << "\n" << r.output;
        const bool says = r.output.find("No space left on device") != std::string::npos ||
                          r.output.find("Input/output error") != std::string::npos;
        EXPECT_TRUE(says) << fault.name << "\n" << r.output;
        EXPECT_EQ(test::ReadFile(hive), before) << fault.name;
        EXPECT_FALSE(fs::exists(hive + ".tmp")) << fault.name;
        // Every program still reads the hive: the product is found and checks out.
        EXPECT_EQ(Run(onDisk, KALDO_PRODUCT_TOOL, "verify").code, 0) << fault.name;
        EXPECT_EQ(Run(onDisk, QUILLON_CLI, "installed").code, 0) << fault.name;
    }
    disk.Unfill();
    EXPECT_EQ(Run(onDisk, KALDO_PRODUCT_TOOL, "fault Probe.After 0x80004005 1").code, 0);
    const std::string after = test::ReadFile(hive);
    EXPECT_NE(after.find("\"Probe.Before\""), std::string::npos) << after;
    EXPECT_NE(after.find("\"Probe.After\""), std::string::npos) << after;
    EXPECT_EQ(after.find("\"Probe.During\""), std::string::npos) << after;
}

TEST_F(DiskFaultTest, ProductImportLeavesNoHalfImportedDictionary) {
    test::SmallDisk disk(temp_ / "small");
    // The product's data folder and catalogue on the small disk, when there is one.
    const std::string root = disk.Mounted() ? disk.Folder() + "/product" : root_;
    if (disk.Mounted()) {
        ASSERT_EQ(kaldo::test::RunProductTool({"init", root, "--directions", "ER,RE", "--library", KALDO_REFPRODUCT_LIBRARY}), 0);
    }
    InstallSmallCollection();
    const std::string er = root + "/directions/ER";
    auto faults = Faults(disk, "", root + "/.tmp/.kaldo-tmp-");
    faults.push_back({"EIO at fsync", test::SyncFault("EIO", root + "/.tmp/.kaldo-tmp-")});
    // A catalogue that cannot be written: at the record made before the file is renamed into
    // place (the log's first 4 writes), and at the commit of its row after that. The profile
    // cannot be stored either (message 2006): nothing is done.
    for (const int nth : {1, 5})
        faults.push_back({"EIO in the catalogue's log from write " + std::to_string(nth),
                          test::WriteFault("EIO", nth, true, root + "/catalogue.db-wal"), false, 5});
    for (const Fault& fault : faults) {
        Begin(fault, disk, 256 << 10);
        const ProgramResult r = Install(fault.env, dist_, 2);
        EXPECT_EQ(r.code, fault.code) << fault.name << "\n" << r.output;
        EXPECT_NE(r.output.find("message 57364:"), std::string::npos) << fault.name << "\n" << r.output;
        ExpectEarlierInstallationIntact(fault.name, er);
    }
    disk.Unfill();
    const ProgramResult again = Install("", dist_, 2);
    EXPECT_EQ(again.code, 0) << again.output;
    EXPECT_EQ(Run("", KALDO_PRODUCT_TOOL, "verify").code, 0);
}

} // namespace
} // namespace quillon
