// UnpackFile against the classic byte-at-a-time unpacker, on text-like and binary-like data of
// at least 64 MiB unpacked: file to file and decode-only (memory to memory), in one run.
//   unpack_bench [MiB] [work folder]
#include "ClassicUnpacker.h"
#include "install/Packer.h"
#include "install/UnpackFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

struct Rng {
    std::uint64_t x;
    std::uint32_t Next() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return std::uint32_t(x >> 16);
    }
};

// Dictionary-like text: entries "headword<TAB>translation; translation\n" over a vocabulary of
// pseudo-words in Latin and Cyrillic, drawn with a skewed (Zipf-like) frequency.
Bytes TextLike(std::size_t size) {
    Rng rng{0x1234567};
    static const char* const latin[] = {"ka", "lo", "de", "ri", "mon", "tra", "sel", "ver", "qu", "an",
                                        "tion", "ing", "ex", "pre", "ul", "os", "ni", "be", "st", "or"};
    static const char* const cyr[] = {"ка", "ло", "де", "ри", "мон", "тра", "сел", "вер", "ние", "ан",
                                      "ость", "ый", "ой", "пре", "ул", "ос", "ни", "бе", "ст", "ор"};
    std::vector<std::string> en, ru;
    for (int i = 0; i < 20000; ++i) {
        std::string a, b;
        const int n = 1 + int(rng.Next() % 4);
        for (int k = 0; k < n; ++k) {
            a += latin[rng.Next() % 20];
            b += cyr[rng.Next() % 20];
        }
        en.push_back(a);
        ru.push_back(b);
    }
    auto pick = [&](const std::vector<std::string>& v) -> const std::string& {
        const std::uint32_t r = rng.Next() % 20000;
        return v[(r * r) / 20000];  // skewed towards the front
    };
    Bytes out;
    out.reserve(size + 256);
    while (out.size() < size) {
        std::string line = pick(en) + "\t" + pick(ru);
        const int extra = int(rng.Next() % 3);
        for (int k = 0; k < extra; ++k)
            line += (k ? ", " : "; ") + pick(ru);
        if (rng.Next() % 4 == 0)
            line += " (" + pick(en) + " " + std::to_string(rng.Next() % 1000) + ")";
        line += "\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(size);
    return out;
}

// Binary-like: 32-byte index records (growing ids and offsets, small counters, flags, a hash),
// between blocks of UTF-16 text.
Bytes BinaryLike(std::size_t size) {
    Rng rng{0xBEEF};
    Bytes out;
    out.reserve(size + 4096);
    std::uint32_t id = 1, offset = 0;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    while (out.size() < size) {
        for (int r = 0; r < 64; ++r) {
            put32(id++);
            offset += 16 + rng.Next() % 200;
            put32(offset);
            put32(rng.Next() % 16);
            put32(rng.Next() % 3 == 0 ? 0x80000001u : 1u);
            put32(rng.Next());
            put32(rng.Next() & 0xFFFF);
            put32(0);
            put32(id * 3);
        }
        const char16_t* words[] = {u"словарь ", u"перевод ", u"text ", u"база ", u"term "};
        for (int w = 0; w < 40; ++w)
            for (const char16_t* p = words[rng.Next() % 5]; *p; ++p) {
                out.push_back(static_cast<unsigned char>(*p & 0xFF));
                out.push_back(static_cast<unsigned char>(*p >> 8));
            }
    }
    out.resize(size);
    return out;
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

double CpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Best of `runs`: wall-clock seconds, and the process CPU seconds (all threads) of that run.
struct Timing {
    double wall = 1e30;
    double cpu = 0;
};
Timing Time(int runs, const std::function<void()>& work) {
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        const double c0 = CpuSeconds();
        work();
        const double c = CpuSeconds() - c0;
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        if (s < best.wall)
            best = {s, c};
    }
    return best;
}

int NoProgress(std::uint16_t, void*) { return 1; }

bool RunKind(const char* kind, const Bytes& data, const std::string& dir) {
    const double mb = double(data.size()) / 1e6;
    quillon::PackOptions options;
    options.chainDepth = 32;
    Bytes packed;
    const double packSeconds = Time(1, [&] { packed = quillon::PackData(data.data(), data.size(), options); }).wall;
    std::printf("\n%s: %.1f MB unpacked, %.1f MB packed (%.1f%%), packed at %.1f MB/s\n", kind, mb,
                double(packed.size()) / 1e6, 100.0 * double(packed.size()) / double(data.size()),
                mb / packSeconds);
    const std::string src = dir + "/" + kind + ".pk";
    const std::string out = dir + "/" + kind + ".out";
    WriteFile(src, packed);

    bool ok = true;
    auto check = [&](const char* who, int rc, const auto& got) {
        if (rc != 0 || !std::equal(got.begin(), got.end(), data.begin(), data.end())) {
            std::printf("  %s: WRONG OUTPUT (result %d)\n", who, rc);
            ok = false;
        }
    };
    // The contenders take turns in every round (the machine's load changes over time); the
    // best round of each counts.
    const int runs = 5;
    int rc = 0;
    // Both in-memory decoders write into buffers that already have room (as a caller that
    // unpacks many files would have).
    quillon::ByteBuffer memory;
    memory.reserve(data.size() + 64);
    Bytes classicMemory;
    classicMemory.reserve(data.size() + 64);
    Timing fast, classicPutc, classicRing, fastMem, classicMem;
    auto keep = [](Timing& best, const Timing& t) {
        if (t.wall < best.wall)
            best = t;
    };
    // Each file run leaves 64 MiB of dirty page cache; it is written back (untimed) before the
    // next contender runs, so that no one pays for another's writeback.
    auto settle = [] { ::sync(); };
    for (int round = 0; round < runs; ++round) {
        keep(fast, Time(1, [&] { rc = quillon::UnpackFile(src, out, &NoProgress, nullptr); }));
        settle();
        if (round == 0)
            check("UnpackFile", rc, ReadFile(out));
        keep(classicPutc, Time(1, [&] { rc = bench::ClassicUnpackFile(src, out, true); }));
        settle();
        if (round == 0)
            check("classic getc/putc", rc, ReadFile(out));
        keep(classicRing, Time(1, [&] { rc = bench::ClassicUnpackFile(src, out, false); }));
        settle();
        if (round == 0)
            check("classic getc/fwrite", rc, ReadFile(out));
    }
    // Decode-only runs are short: more rounds of them, with nothing else in between.
    for (int round = 0; round < 4 * runs; ++round) {
        keep(fastMem, Time(1, [&] { rc = quillon::UnpackToMemory(packed.data(), packed.size(), memory); }));
        if (round == 0)
            check("UnpackToMemory", rc, memory);
        keep(classicMem, Time(1, [&] { rc = bench::ClassicUnpackMemory(packed.data(), packed.size(), classicMemory); }));
        if (round == 0)
            check("classic in memory", rc, classicMemory);
    }
    ::unlink(out.c_str());
    ::unlink(src.c_str());

    auto line = [&](const char* what, const Timing& ours, const char* theirName, const Timing& theirs) {
        std::printf("  %-13s ours %7.1f MB/s  %-26s %6.1f MB/s  ratio %5.1fx   (CPU time: ours %7.1f MB/s, ratio %5.1fx)\n",
                    what, mb / ours.wall, theirName, mb / theirs.wall, theirs.wall / ours.wall, mb / ours.cpu,
                    theirs.cpu / ours.cpu);
    };
    line("file to file", fast, "classic getc/putc", classicPutc);
    line("file to file", fast, "classic getc + ring fwrite", classicRing);
    line("decode-only", fastMem, "classic in memory", classicMem);
    std::printf("  (MB/s of unpacked output, wall clock, best of %d rounds, %d for decode-only; CRC computed and\n"
                "   checked by all; ours computes it on a second thread from 1 MiB of packed data)\n", runs, 4 * runs);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::size_t(std::atoi(argv[1])) : 64;
    std::string dir = argc > 2 ? argv[2] : "";
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/unpack-bench-XXXXXX";
        if (!::mkdtemp(dir.data())) {
            std::perror("mkdtemp");
            return 1;
        }
    }
    std::printf("unpack_bench: %zu MiB per kind, files in %s\n", mib, dir.c_str());
    const std::size_t size = mib << 20;
    bool ok = RunKind("text", TextLike(size), dir);
    ok &= RunKind("binary", BinaryLike(size), dir);
    if (argc <= 2)
        ::rmdir(dir.c_str());
    return ok ? 0 : 1;
}
