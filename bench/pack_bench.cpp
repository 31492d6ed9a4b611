// The packer side by side with gzip, zstd and lz4 on the same dictionary, in one run: time,
// speed, output / input, and peak memory of each program packing the file.
//
//   pack_bench [FILE | --make MB]     (default: --make 128, a dictionary made by quillon-dist
//                                      dict make from a word list of distinct words)
//
// In this process: both levels with 1 thread and with every processor (PackData on the file read
// into memory; the best level with one thread is what the packer wrote before it had threads or a
// fast level). As programs: quillon-dist pack and pack --best (PackFile: bounded memory), gzip -6,
// gzip -1, zstd -1 -T<processors>, lz4 -1, and quillon-dist unpack of the fast output.
#include "install/Packer.h"
#include "install/UnpackFile.h"
#include "BenchRun.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::Run;

// `command` through the shell, output discarded; its time and peak resident memory.
Run Shell(const std::string& command) { return bench::Execute({"/bin/sh", "-c", command}); }

bool Have(const char* tool) {
    return Shell(std::string("command -v ") + tool).status == 0;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void Row(const char* tool, double seconds, double inBytes, double outBytes, long peakKiB, int status) {
    std::printf("  %-34s %8.2f s %9.1f MB/s %8.3f", tool, seconds, inBytes / 1e6 / seconds, outBytes / inBytes);
    if (peakKiB >= 0)
        std::printf(" %7ld MiB", peakKiB / 1024);
    else
        std::printf("     (in process)");
    if (status != 0)
        std::printf("   exit %d", status);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("quillon-pack-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string input;
    long makeMb = 128;
    if (argc == 3 && std::string(argv[1]) == "--make")
        makeMb = std::atol(argv[2]);
    else if (argc == 2)
        input = argv[1];
    else if (argc != 1) {
        std::fprintf(stderr, "usage: pack_bench [FILE | --make MB]\n");
        return 2;
    }
    const std::string dist = QUILLON_DIST_TOOL;
    if (input.empty()) {
        // Made-up words of Latin letters, each with one to three translations: made-up Cyrillic
        // words, some after a common word. A dictionary's kind of text (it packs to about half),
        // not a counter's.
        std::ofstream words(dir / "words.txt", std::ios::binary);
        std::uint64_t written = 0, state = 0x9E3779B97F4A7C15ull;
        const auto next = [&state](unsigned n) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            return static_cast<unsigned>(state % n);
        };
        static const char* const common[] = {"перевод ", "слово ", "значение ", "действие ",
                                             "предмет ", "человек ", "работа ", "время "};
        std::string line;
        while (written < std::uint64_t(makeMb) << 20) {
            line.clear();
            for (unsigned k = 3 + next(8); k; --k)
                line += static_cast<char>('a' + next(26));
            for (unsigned t = 1 + next(3); t; --t) {
                line += '\t';
                if (next(10) < 3)
                    line += common[next(8)];
                for (unsigned k = 3 + next(9); k; --k) { // a letter of а..я, two bytes in UTF-8
                    const unsigned letter = 0x430 + next(32);
                    line += static_cast<char>(0xC0 | letter >> 6);
                    line += static_cast<char>(0x80 | (letter & 0x3F));
                }
            }
            line += '\n';
            words << line;
            written += line.size();
        }
        words.close();
        input = (dir / "input.dct").string();
        if (Shell(Quote(dist) + " dict make --words " + Quote((dir / "words.txt").string()) + " --out " + Quote(input))
                .status != 0) {
            std::fprintf(stderr, "pack_bench: dict make failed\n");
            return 1;
        }
        fs::remove(dir / "words.txt");
    }
    // The programs first, while this process is small: a child's peak counts what it shares with
    // its parent until exec.
    const double size = static_cast<double>(fs::file_size(input));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("pack_bench: %s, %.1f MB, %u processors\n", input.c_str(), size / 1e6, cores);
    std::printf("  %-34s %10s %14s %8s %11s\n", "", "time", "speed", "out/in", "peak");
    int status = 0;
    const std::string fastOut = (dir / "fast.pk").string(), bestOut = (dir / "best.pk").string();
    const Run pack = Shell(Quote(dist) + " pack " + Quote(input) + " " + Quote(fastOut));
    Row("quillon-dist pack", pack.seconds, size, static_cast<double>(fs::file_size(fastOut)), pack.peakKiB, pack.status);
    const Run packBest = Shell(Quote(dist) + " pack --best " + Quote(input) + " " + Quote(bestOut));
    Row("quillon-dist pack --best", packBest.seconds, size, static_cast<double>(fs::file_size(bestOut)), packBest.peakKiB,
        packBest.status);
    status |= pack.status | packBest.status;
    const struct {
        const char* tool;
        const char* label;
        std::string command;
    } others[] = {
        {"gzip", "gzip -6", "gzip -6 -c "},
        {"gzip", "gzip -1", "gzip -1 -c "},
        {"zstd", "zstd -1", "zstd -1 -T" + std::to_string(cores) + " -c "},
        {"lz4", "lz4 -1", "lz4 -1 -c "},
    };
    for (const auto& o : others) {
        if (!Have(o.tool)) {
            std::printf("  %-34s (not installed)\n", o.label);
            continue;
        }
        const std::string out = (dir / "other").string();
        const Run r = Shell(o.command + Quote(input) + " > " + Quote(out));
        Row(o.label, r.seconds, size, static_cast<double>(fs::file_size(out)), r.peakKiB, r.status);
    }
    const Run unpack = Shell(Quote(dist) + " unpack " + Quote(fastOut) + " " + Quote((dir / "back").string()));
    Row("quillon-dist unpack (of the fast)", unpack.seconds, size, static_cast<double>(fs::file_size(fastOut)),
        unpack.peakKiB, unpack.status);
    status |= unpack.status;
    std::ifstream in(input, std::ios::binary);
    const std::vector<unsigned char> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    double bestOne = 0, bestAll = 0, fastAll = 0;
    std::size_t bestSize = 0, fastSize = 0;
    for (const bool best : {false, true}) {
        for (const unsigned threads : {1u, cores}) {
            quillon::PackOptions options;
            options.best = best;
            options.threads = threads;
            const auto start = Clock::now();
            const auto packed = quillon::PackData(data.data(), data.size(), options);
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            quillon::ByteBuffer back;
            const bool ok = quillon::UnpackToMemory(packed.data(), packed.size(), back) == quillon::kUnpackOk &&
                            back.size() == data.size() && std::equal(back.begin(), back.end(), data.begin());
            status |= ok ? 0 : 1;
            const std::string label = std::string(best ? "best" : "fast") + ", " + std::to_string(threads) +
                                      (threads == 1 ? " thread" : " threads");
            Row(label.c_str(), seconds, size, static_cast<double>(packed.size()), -1, ok ? 0 : 1);
            (best ? bestSize : fastSize) = packed.size();
            if (best && threads == 1)
                bestOne = seconds;
            if (best && threads == cores)
                bestAll = seconds;
            if (!best && threads == cores)
                fastAll = seconds;
        }
    }
    std::printf("fast, %u threads: %.1f MB/s; its output %.2f%% larger than the best level's\n", cores,
                size / 1e6 / fastAll, 100.0 * (double(fastSize) / double(bestSize) - 1));
    std::printf("best, %u threads against 1: %.2fx\n", cores, bestOne / bestAll);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
