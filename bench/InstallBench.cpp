// Whole installations, as a user waits for them: quillon-cli install of a collection of four large
// dictionaries into a fresh reference product, side by side with cp + sync of the same unpacked
// dictionaries; then a collection of many small single-dictionary profiles, time per profile.
// Peak resident memory of each installation is the child's own (wait4). Every side starts after
// a sync, so that neither pays for the other's dirty pages.
//
//   install_bench [MB_PER_DICTIONARY] [SMALL_PROFILES]     (default 50 and 1000)
//   install_bench --one MB     one dictionary of MB megabytes (2048: the 2 GiB case): build,
//                              install, kaldo-product verify, and cp + sync of it
//   QUILLON_BENCH_BASELINE=BUILD_DIR install_bench …  also the programs of an earlier build, side by side
//
// The exit status is 1 when any program measured, of this build or the baseline, failed.
#include "BenchRun.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using bench::kNotRun;
using bench::Run;
using bench::Execute;

// A word list of about `bytes` bytes: distinct words with two translations each.
void WriteWords(const fs::path& path, std::uint64_t bytes, unsigned seed) {
    std::ofstream out(path, std::ios::binary);
    std::uint64_t written = 0;
    for (std::uint64_t i = 0; written < bytes; ++i) {
        char line[160];
        const int n = std::snprintf(line, sizeof line, "w%u_%llu\tперевод %llu\tвторой перевод слова %llu\n", seed,
                                    static_cast<unsigned long long>(i), static_cast<unsigned long long>(i * 7 + seed),
                                    static_cast<unsigned long long>(i));
        out.write(line, n);
        written += static_cast<std::uint64_t>(n);
    }
}

std::uint64_t FolderBytes(const fs::path& folder) {
    std::uint64_t total = 0;
    for (const auto& e : fs::directory_iterator(folder))
        total += e.file_size();
    return total;
}

struct Tools {
    std::string cli = QUILLON_CLI_TOOL, dist = QUILLON_DIST_TOOL, product = KALDO_PRODUCT_TOOL,
                library = KALDO_REFPRODUCT_LIBRARY;
};

// A fresh product in `root` with its own hive; the environment that reaches it.
std::vector<std::string> FreshProduct(const Tools& tools, const fs::path& root) {
    fs::create_directories(root / "tmp");
    std::vector<std::string> env{"QUILLON_REGISTRY=" + (root / "registry.reg").string(),
                                 "TMPDIR=" + (root / "tmp").string(), "XDG_CACHE_HOME=" + (root / "cache").string()};
    if (Execute({tools.product, "init", (root / "product").string(), "--directions", "ER", "--library", tools.library},
                env)
            .status != 0)
        std::fprintf(stderr, "install_bench: kaldo-product init failed in %s\n", root.c_str());
    return env;
}

struct Figures {
    std::uint64_t bytes = 0;
    Run build, install, copy, small, smallBuild, verify;
    bool Failed() const {
        for (const Run* r : {&build, &install, &copy, &small, &smallBuild, &verify})
            if (r->status != 0 && r->status != kNotRun)
                return true;
        return false;
    }
};

// cp of `from` to `to`, then sync.
Run CopyAndSync(const fs::path& from, const fs::path& to) {
    ::sync();
    return Execute({"/bin/sh", "-c", "cp -r '" + from.string() + "' '" + to.string() + "' && sync"});
}

// Both scenarios with one set of tools, in `dir`.
Figures Measure(const Tools& tools, const fs::path& dir, long megabytes, int smallProfiles) {
    Figures f;
    fs::create_directories(dir / "src");
    {
        std::ofstream manifest(dir / "src/big.manifest");
        manifest << "[collection 1]\nName.R = Большая\nProfiles = ER_BIG\n[profile ER_BIG]\nDirection = ER\n"
                    "Name.R = Большой профиль\nDictionaries = big1.dct; big2.dct; big3.dct; big4.dct\n";
        for (unsigned i = 1; i <= 4; ++i) {
            WriteWords(dir / "src" / ("big" + std::to_string(i) + ".txt"), std::uint64_t(megabytes) << 20, i);
            manifest << "[dictionary big" << i << ".dct]\nDirection = ER\nName.R = Словарь " << i << "\nWords = big" << i
                     << ".txt\n";
        }
    }
    f.build = Execute({tools.dist, "build", (dir / "src/big.manifest").string(), (dir / "big").string()});
    const auto bigEnv = FreshProduct(tools, dir / "p-big");
    ::sync();
    f.install = Execute({tools.cli, "install", (dir / "big").string(), "--collection", "1", "--yes"}, bigEnv);

    // The same unpacked dictionaries copied with cp, then sync.
    fs::create_directories(dir / "unpacked");
    for (unsigned i = 1; i <= 4; ++i) {
        const std::string name = "big" + std::to_string(i) + ".dct";
        if (Execute({tools.dist, "unpack", (dir / "big/DICT" / name).string(), (dir / "unpacked" / name).string()})
                .status != 0)
            f.copy.status = 1;
    }
    f.bytes = FolderBytes(dir / "unpacked");
    if (f.copy.status != 1)
        f.copy = CopyAndSync(dir / "unpacked", dir / "copied");

    // Many small profiles, one small dictionary each.
    {
        std::ofstream manifest(dir / "src/small.manifest");
        std::ofstream words(dir / "src/small.txt");
        words << "cat\tкошка\ndog\tсобака\n";
        manifest << "[collection 1]\nName.R = Много\nProfiles = ";
        for (int p = 0; p < smallProfiles; ++p)
            manifest << (p ? "; " : "") << "P" << p;
        manifest << "\n";
        for (int p = 0; p < smallProfiles; ++p)
            manifest << "[profile P" << p << "]\nDirection = ER\nName.R = Профиль " << p << "\nDictionaries = d" << p
                     << ".dct\n[dictionary d" << p << ".dct]\nDirection = ER\nName.R = Словарь " << p
                     << "\nWords = small.txt\n";
    }
    f.smallBuild = Execute({tools.dist, "build", (dir / "src/small.manifest").string(), (dir / "small").string()});
    const auto smallEnv = FreshProduct(tools, dir / "p-small");
    ::sync();
    f.small = Execute({tools.cli, "install", (dir / "small").string(), "--collection", "1", "--yes"}, smallEnv);
    return f;
}

// One dictionary of about `megabytes` MB: build, install, verify, and cp + sync of it unpacked.
Figures MeasureOne(const Tools& tools, const fs::path& dir, long megabytes) {
    Figures f;
    fs::create_directories(dir / "src");
    WriteWords(dir / "src/one.txt", std::uint64_t(megabytes) << 20, 1);
    {
        std::ofstream manifest(dir / "src/one.manifest");
        manifest << "[collection 1]\nName.R = Один\nProfiles = ER_ONE\n[profile ER_ONE]\nDirection = ER\n"
                    "Name.R = Один словарь\nDictionaries = one.dct\n[dictionary one.dct]\nDirection = ER\n"
                    "Name.R = Один\nWords = one.txt\n";
    }
    f.build = Execute({tools.dist, "build", (dir / "src/one.manifest").string(), (dir / "one").string()});
    fs::remove(dir / "src/one.txt");
    const auto env = FreshProduct(tools, dir / "p-one");
    ::sync();
    f.install = Execute({tools.cli, "install", (dir / "one").string(), "--collection", "1", "--yes"}, env);
    ::sync();
    f.verify = Execute({tools.product, "verify"}, env);
    fs::remove_all(dir / "p-one");
    fs::create_directories(dir / "unpacked");
    f.copy.status = Execute({tools.dist, "unpack", (dir / "one/DICT/one.dct").string(), (dir / "unpacked/one.dct").string()}).status;
    f.bytes = FolderBytes(dir / "unpacked");
    if (f.copy.status == 0)
        f.copy = CopyAndSync(dir / "unpacked", dir / "copied");
    return f;
}

void PrintOne(const char* label, const Figures& f, long megabytes) {
    std::printf("%s\n", label);
    std::printf("  one dictionary of %ld MB (%.1f MB unpacked)\n", megabytes, double(f.bytes) / 1e6);
    std::printf("    quillon-dist build     %8.2f s   peak %6ld MiB   exit %d\n", f.build.seconds, f.build.peakKiB / 1024,
                f.build.status);
    std::printf("    quillon-cli install    %8.2f s   peak %6ld MiB   exit %d   %.1f MB/s\n", f.install.seconds,
                f.install.peakKiB / 1024, f.install.status, double(f.bytes) / 1e6 / f.install.seconds);
    std::printf("    kaldo-product verify   %8.2f s   peak %6ld MiB   exit %d\n", f.verify.seconds,
                f.verify.peakKiB / 1024, f.verify.status);
    std::printf("    cp + sync              %8.2f s   exit %d\n", f.copy.seconds, f.copy.status);
    std::printf("    install / copy         %8.2f x\n", f.install.seconds / f.copy.seconds);
}

void Print(const char* label, const Figures& f, long megabytes, int smallProfiles) {
    std::printf("%s\n", label);
    std::printf("  four dictionaries of %ld MB (%.1f MB unpacked in all)\n", megabytes, double(f.bytes) / 1e6);
    std::printf("    quillon-dist build     %8.2f s   peak %6ld MiB   exit %d\n", f.build.seconds, f.build.peakKiB / 1024,
                f.build.status);
    std::printf("    quillon-cli install    %8.2f s   peak %6ld MiB   exit %d   %.1f MB/s\n", f.install.seconds,
                f.install.peakKiB / 1024, f.install.status, double(f.bytes) / 1e6 / f.install.seconds);
    std::printf("    cp + sync              %8.2f s   exit %d\n", f.copy.seconds, f.copy.status);
    std::printf("    install / copy         %8.2f x\n", f.install.seconds / f.copy.seconds);
    std::printf("  %d profiles of one small dictionary (build exit %d)\n", smallProfiles, f.smallBuild.status);
    std::printf("    quillon-cli install    %8.2f s   peak %6ld MiB   exit %d   %.2f ms per profile\n", f.small.seconds,
                f.small.peakKiB / 1024, f.small.status, f.small.seconds * 1000 / smallProfiles);
}

} // namespace

int main(int argc, char** argv) {
    const bool one = argc > 1 && std::string(argv[1]) == "--one";
    const long megabytes = argc > 1 + one ? std::atol(argv[1 + one]) : 50;
    const int smallProfiles = !one && argc > 2 ? std::atoi(argv[2]) : 1000;
    if (megabytes <= 0 || smallProfiles <= 0) {
        std::fprintf(stderr, "usage: install_bench [MB_PER_DICTIONARY] [SMALL_PROFILES] | install_bench --one MB\n"
                             "       QUILLON_BENCH_BASELINE=BUILD_DIR: also the programs of an earlier build, side by side\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("quillon-install-bench-" + std::to_string(::getpid()));
    const auto measure = [&](const Tools& tools, const fs::path& where, const std::string& label) {
        const Figures f = one ? MeasureOne(tools, where, megabytes) : Measure(tools, where, megabytes, smallProfiles);
        if (one)
            PrintOne(label.c_str(), f, megabytes);
        else
            Print(label.c_str(), f, megabytes, smallProfiles);
        fs::remove_all(where);
        return f;
    };
    const Figures now = measure(Tools{}, dir / "now", "this build");
    int status = now.Failed() ? 1 : 0;
    if (const char* baseline = std::getenv("QUILLON_BENCH_BASELINE")) {
        const std::string b = baseline;
        const Tools old{b + "/src/cli/quillon-cli", b + "/src/tools/quillon-dist", b + "/refproduct/kaldo-product",
                        b + "/refproduct/libkaldo_refproduct.so"};
        const Figures before = measure(old, dir / "baseline", "baseline " + b);
        if (before.Failed()) {
            std::printf("the baseline failed (an exit status above is not 0): no comparison\n");
            status = 1;
        } else {
            std::printf("this build against the baseline\n");
            std::printf("  install %.2fx faster, peak memory %.2fx smaller\n",
                        before.install.seconds / now.install.seconds,
                        double(before.install.peakKiB) / double(std::max(1L, now.install.peakKiB)));
            if (!one)
                std::printf("  small: %.2fx the rate per profile\n", before.small.seconds / now.small.seconds);
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
