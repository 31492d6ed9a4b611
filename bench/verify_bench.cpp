// quillon-dist verify's speed: a distribution of packed dictionaries (reference-product format)
// verified whole (VerifyDistribution: descriptions, every packed file decoded and checked, every
// dictionary's header and checksum read), side by side in one run with the unpacker decoding the
// same packed files in memory (UnpackToMemory, the data already read: its pure decode speed) and
// with VerifyPackedFile (the unpacker's own streaming check of header and CRC).
//   verify_bench [MiB of packed dictionaries, default 256] [work folder]
#include "DictionaryFile.h"
#include "ReferenceDictionaryFormat.h"
#include "descriptions/ProfileValue.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"
#include "install/Packer.h"
#include "install/UnpackFile.h"
#include "tools/DistributionVerifier.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Rng {
    std::uint64_t x;
    std::uint32_t Next() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return std::uint32_t(x >> 16);
    }
};

// A dictionary of about `size` bytes: pseudo-words over Latin and Cyrillic syllables with a
// skewed frequency, one to three translations each.
std::string DictionaryBytes(std::size_t size, std::uint64_t seed) {
    static const char* const latin[] = {"ka", "lo", "de", "ri", "mon", "tra", "sel", "ver", "qu", "an",
                                        "tion", "ing", "ex", "pre", "ul", "os", "ni", "be", "st", "or"};
    static const char* const cyr[] = {"ка", "ло", "де", "ри", "мон", "тра", "сел", "вер", "ние", "ан",
                                      "ость", "ый", "ой", "пре", "ул", "ос", "ни", "бе", "ст", "ор"};
    Rng rng{seed};
    kaldo::DictionaryFile file;
    file.SetDirectionId(0x00020001);
    char guid[64];
    std::snprintf(guid, sizeof guid, "{%08X-0000-4000-8000-%012llX}", unsigned(seed),
                  static_cast<unsigned long long>(seed & 0xFFFFFFFFFFFFull));
    file.SetGuid(guid);
    std::size_t total = 0;
    while (total < size) {
        kaldo::DictionaryEntry e;
        for (int k = 1 + int(rng.Next() % 3); k > 0; --k)
            e.word += latin[(rng.Next() % 400) / 20 * (rng.Next() % 2)];
        e.word += latin[rng.Next() % 20];
        for (int t = 1 + int(rng.Next() % 3); t > 0; --t) {
            std::string line;
            for (int k = 1 + int(rng.Next() % 4); k > 0; --k)
                line += cyr[(rng.Next() % 20) * (rng.Next() % 3 != 0)];
            total += line.size() + 4;
            e.lines.push_back(std::move(line));
        }
        total += e.word.size() + 4;
        file.Entries().push_back(std::move(e));
    }
    return kaldo::SerializeDictionary(file);
}

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool WriteAll(const std::string& path, const void* data, std::size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char*>(data), std::streamsize(size));
    return bool(f);
}

// Writes SETUP.INI and RAVIRI.INF: one collection, one English-Russian profile listing every
// dictionary.
bool WriteDescriptions(const std::string& dir, const std::vector<std::string>& keys,
                       const std::vector<std::uint64_t>& sizes) {
    using quillon::CProfileValue;
    quillon::CXCryptedProfile2 setup(1), raviri(1);
    std::string list;
    for (const auto& k : keys)
        list += (list.empty() ? "" : ";") + k;
    setup.AddSection("Info");
    setup.AddEntry("P", "Direction", CProfileValue::String("ER"));
    setup.AddEntry("P", "Name.R", CProfileValue::String("Проба"));
    setup.AddEntry("P", "Dictionaries", CProfileValue::String(list));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        setup.AddEntry(keys[i], "Direction", CProfileValue::String("ER"));
        setup.AddEntry(keys[i], "Name.R", CProfileValue::String(keys[i]));
        setup.AddEntry(keys[i], "Size", CProfileValue::Int(static_cast<std::int32_t>(sizes[i])));
        setup.AddEntry(keys[i], "NameOnCD", CProfileValue::String("DICT/" + keys[i]));
    }
    raviri.AddEntry("1 - templates", "P", CProfileValue::Int(1));
    raviri.AddEntry("1 - collection", "Name.R", CProfileValue::String("Проба"));
    std::vector<std::uint8_t> a, b;
    return quillon::WriteProfileImage(setup, a, nullptr) && quillon::WriteProfileImage(raviri, b, nullptr) &&
           WriteAll(dir + "/SETUP.INI", a.data(), a.size()) && WriteAll(dir + "/RAVIRI.INF", b.data(), b.size());
}

} // namespace

int main(int argc, char** argv) {
    const std::uint64_t wanted = (argc > 1 ? std::uint64_t(std::atoll(argv[1])) : 256) << 20;
    std::string dir = argc > 2 ? argv[2] : "";
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/verify-bench-XXXXXX";
        if (!::mkdtemp(dir.data())) {
            std::perror("mkdtemp");
            return 1;
        }
    }
    fs::create_directories(dir + "/DICT");

    // Dictionaries of 48 MiB until the packed files reach the size asked for.
    constexpr std::size_t kDictionary = 48u << 20;
    std::vector<std::string> keys, paths;
    std::vector<std::uint64_t> sizes;
    std::uint64_t packedTotal = 0, unpackedTotal = 0;
    quillon::PackOptions options;
    options.chainDepth = 32;
    while (packedTotal < wanted) {
        const std::string bytes = DictionaryBytes(kDictionary, 0x9E3779B97F4A7C15ull + keys.size());
        const auto packed = quillon::PackData(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), options);
        keys.push_back("d" + std::to_string(keys.size()) + ".er");
        paths.push_back(dir + "/DICT/" + keys.back());
        sizes.push_back(bytes.size());
        if (!WriteAll(paths.back(), packed.data(), packed.size()))
            return 1;
        packedTotal += packed.size();
        unpackedTotal += bytes.size();
    }
    if (!WriteDescriptions(dir, keys, sizes))
        return 1;
    const double packedMB = double(packedTotal) / 1e6, unpackedMB = double(unpackedTotal) / 1e6;
    std::printf("verify_bench: %zu dictionaries, %.1f MB packed, %.1f MB unpacked, in %s\n", keys.size(), packedMB,
                unpackedMB, dir.c_str());

    const kaldo::ReferenceDictionaryFormat format;
    double decode = 1e30, streaming = 1e30, verify = 1e30;
    bool ok = true;
    quillon::ByteBuffer output;
    output.reserve(kDictionary + 4096);
    // The contenders take turns in every round (the machine's load changes over time); the best
    // round of each counts. Every file is in the page cache after the first round.
    for (int round = 0; round < 4; ++round) {
        double seconds = 0;
        for (const std::string& path : paths) {
            const auto packed = ReadAll(path); // not timed: the decode alone is
            const auto t0 = Clock::now();
            ok &= quillon::UnpackToMemory(packed.data(), packed.size(), output) == quillon::kUnpackOk;
            seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        }
        decode = std::min(decode, seconds);

        auto t0 = Clock::now();
        for (const std::string& path : paths)
            ok &= quillon::VerifyPackedFile(path) == quillon::kUnpackOk;
        streaming = std::min(streaming, std::chrono::duration<double>(Clock::now() - t0).count());

        t0 = Clock::now();
        const auto report = quillon::dist::VerifyDistribution(dir, &format);
        verify = std::min(verify, std::chrono::duration<double>(Clock::now() - t0).count());
        if (report.Errors() != 0 || report.dictionaries != int(keys.size())) {
            std::printf("  verify found %d errors in %d dictionaries\n", report.Errors(), report.dictionaries);
            ok = false;
        }
    }
    std::printf("  UnpackToMemory, data in memory (decode only)  %8.1f MB/s packed  %8.1f MB/s unpacked\n",
                packedMB / decode, unpackedMB / decode);
    std::printf("  VerifyPackedFile (streaming header + CRC)     %8.1f MB/s packed  %8.1f MB/s unpacked\n",
                packedMB / streaming, unpackedMB / streaming);
    std::printf("  verify DIST (whole distribution)              %8.1f MB/s packed  %8.1f MB/s unpacked\n",
                packedMB / verify, unpackedMB / verify);
    std::printf("  verify DIST takes %.2fx the decode-only time and %.2fx VerifyPackedFile's "
                "(best of 4 rounds, wall clock)\n",
                verify / decode, verify / streaming);
    if (!ok)
        std::printf("  WRONG RESULT\n");
    if (argc <= 2)
        fs::remove_all(dir);
    return ok ? 0 : 1;
}
