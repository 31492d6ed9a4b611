#include "install/Packer.h"
#include "install/PackedFixtures.h"
#include "install/ReferenceUnpacker.h"
#include "install/UnpackFile.h"
#include "support/Crc32.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::test {
namespace {

constexpr std::size_t kBlockPlusOne = 65536 + 1;

Bytes TextLike(std::size_t size, std::uint32_t seed) {
    static const char* const words[] = {"словарь ", "the ", "dictionary ", "translation ", "of ",
                                        "collection ", "профиль ", "and ", "kernel ", "\n"};
    const Bytes rnd = RandomBytes(size / 4 + 16, seed);
    Bytes out;
    for (std::size_t i = 0; out.size() < size; ++i) {
        const std::string w = words[rnd[i % rnd.size()] % 10];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(size);
    return out;
}

PackOptions Level(bool best, unsigned threads = 0) {
    PackOptions options;
    options.best = best;
    options.threads = threads;
    return options;
}

// Both levels: the unpacker and the byte-at-a-time reference decoder read the data back.
void ExpectRoundTrip(const Bytes& data, const char* what) {
    for (const bool best : {false, true}) {
        SCOPED_TRACE(std::string(what) + (best ? ", best" : ", fast"));
        const Bytes packed = PackData(data.data(), data.size(), Level(best));
        ByteBuffer unpacked;
        ASSERT_EQ(UnpackToMemory(packed.data(), packed.size(), unpacked), kUnpackOk);
        EXPECT_TRUE(std::ranges::equal(unpacked, data));
        // The packer keeps to the format itself, not to one decoder's reading of it.
        const auto reference = ReferenceUnpack(packed, [](std::uint16_t) { return true; });
        EXPECT_EQ(reference.result, 0);
        EXPECT_TRUE(reference.output == data);
    }
}

TEST(Packer, RoundTrips) {
    ExpectRoundTrip({}, "empty");
    ExpectRoundTrip({'a'}, "one byte");
    ExpectRoundTrip({'a', 'b', 'a', 'b', 'a', 'b', 'a'}, "small overlapping");
    ExpectRoundTrip(TextLike(300000, 1), "text");
    ExpectRoundTrip(RandomBytes(200000, 2), "random");
    ExpectRoundTrip(Bytes(100000, 0), "zeros");
    ExpectRoundTrip(Bytes(100000, 0xFF), "ones");
    Bytes mixed = RandomBytes(50000, 3);
    mixed.insert(mixed.begin(), 5000, 0);  // leading zeros, then data
    ExpectRoundTrip(mixed, "leading zeros");
    Bytes period(70000);
    for (std::size_t i = 0; i < period.size(); ++i)
        period[i] = static_cast<unsigned char>(i % 4093);  // repeats just inside the window
    ExpectRoundTrip(period, "period 4093");
    for (std::size_t i = 0; i < period.size(); ++i)
        period[i] = static_cast<unsigned char>((i % 4096) * 7 / 5);  // period of the ring exactly
    ExpectRoundTrip(period, "period 4096");
}

// From 256 KiB of packed data a second thread descrambles and checksums: bodies of many
// descrambling blocks and output chunks, the output growing from nothing or reused.
TEST(Packer, LargeFilesRoundTripInMemory) {
    Bytes data = TextLike(3 << 20, 8);
    data.insert(data.end(), 300000, 0);
    const Bytes random = RandomBytes(700000, 7);
    data.insert(data.end(), random.begin(), random.end());
    const Bytes packed = PackData(data.data(), data.size());
    ASSERT_GT(packed.size(), std::size_t(1) << 20);
    ExpectRoundTrip(data, "large, mixed");

    ByteBuffer reused(5000000, 0x5A);
    ASSERT_EQ(UnpackToMemory(packed.data(), packed.size(), reused), kUnpackOk);
    EXPECT_TRUE(std::ranges::equal(reused, data));

    // Damage late in the body is found by the CRC; a cut body decodes what it holds.
    Bytes damaged = packed;
    damaged[damaged.size() - 1000] ^= 0x01;
    EXPECT_EQ(UnpackToMemory(damaged.data(), damaged.size(), reused), kUnpackChecksumError);
    const Bytes cut(packed.begin(), packed.end() - 777);
    EXPECT_EQ(UnpackToMemory(cut.data(), cut.size(), reused), kUnpackChecksumError);
    ASSERT_LT(reused.size(), data.size());
    EXPECT_GT(reused.size(), data.size() - 777 * 18);
    EXPECT_TRUE(std::equal(reused.begin(), reused.end(), data.begin()));
}

TEST(Packer, Compresses) {
    const Bytes text = TextLike(1 << 20, 4);
    const Bytes zeros(1 << 20, 0);
    const Bytes random = RandomBytes(1 << 20, 5);
    for (const bool best : {false, true}) {
        SCOPED_TRACE(best ? "best" : "fast");
        EXPECT_LT(PackData(text.data(), text.size(), Level(best)).size(), text.size() * 55 / 100);
        // 18 bytes per two-byte match: at most about 1/8 of the data.
        EXPECT_LT(PackData(zeros.data(), zeros.size(), Level(best)).size(), zeros.size() / 8 + 100);
        // Incompressible data grows by one flag byte per eight literals.
        EXPECT_LE(PackData(random.data(), random.size(), Level(best)).size(), random.size() * 9 / 8 + 17);
    }
    // The optimal parse is the smaller; on a dictionary's kind of text (entries of a word, its
    // translations, numbers that differ) the fast level stays within 3 % of it.
    std::string entries;
    for (unsigned i = 0; entries.size() < (2u << 20); ++i)
        entries += "w" + std::to_string(i * 2654435761u % 1000003) + "\tперевод " + std::to_string(i * 7) +
                   "\tвторой перевод слова " + std::to_string(i) + "\n";
    for (const Bytes& data : {text, Bytes(entries.begin(), entries.end())}) {
        const std::size_t best = PackData(data.data(), data.size(), Level(true)).size();
        const std::size_t fast = PackData(data.data(), data.size(), Level(false)).size();
        EXPECT_LT(best, fast);
        if (data.size() != text.size()) {
            EXPECT_LE(fast, best * 103 / 100);
        }
    }
}

// --best writes what the packer has always written: the sizes and checksums of its output for
// these inputs were taken from the packer before the fast level and the threads existed.
TEST(Packer, BestIsByteForByteTheEarlierOutput) {
    Bytes block(kBlockPlusOne);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * i >> 7);
    Bytes mixed = TextLike(300000, 13);
    const Bytes noise = RandomBytes(70000, 14);
    mixed.insert(mixed.begin() + 100000, noise.begin(), noise.end());
    mixed.insert(mixed.begin() + 20000, 9000, 0);
    const struct {
        const char* what;
        Bytes data;
        std::size_t size;
        std::uint32_t crc;
    } cases[] = {
        {"empty", {}, 16, 0xCA3EB9DAu},
        {"one", {'a'}, 18, 0x0386BB1Au},
        {"text", TextLike(1500000, 11), 205589, 0x6DB9B8BBu},
        {"random", RandomBytes(200000, 12), 224961, 0x46F94265u},
        {"zeros", Bytes(150000, 0), 17726, 0xAB647B58u},
        {"block+1", block, 71073, 0x39684E82u},
        {"mixed", mixed, 121317, 0x905ED4F1u},
    };
    for (const auto& c : cases) {
        for (const unsigned threads : {1u, 2u, 5u}) {
            const Bytes packed = PackData(c.data.data(), c.data.size(), Level(true, threads));
            EXPECT_EQ(packed.size(), c.size) << c.what << ", " << threads << " threads";
            EXPECT_EQ(Crc32::Of(packed.data(), packed.size()), c.crc) << c.what << ", " << threads << " threads";
        }
    }
}

// Threads never change the output: the same bytes with 1, 2 or 7 threads, in memory and from a
// file, at both levels.
TEST(Packer, ThreadsDoNotChangeTheOutput) {
    TempDir dir;
    Bytes data = TextLike(2500000, 21);
    const Bytes noise = RandomBytes(300000, 22);
    data.insert(data.begin() + 700000, noise.begin(), noise.end());
    {
        std::ofstream f(dir / "plain", std::ios::binary);
        f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    for (const bool best : {false, true}) {
        const Bytes one = PackData(data.data(), data.size(), Level(best, 1));
        for (const unsigned threads : {2u, 7u}) {
            EXPECT_TRUE(PackData(data.data(), data.size(), Level(best, threads)) == one) << best << " " << threads;
            ASSERT_EQ(PackFile(dir / "plain", dir / "packed", Level(best, threads)), kPackOk);
            const std::string file = ReadFile(dir / "packed");
            EXPECT_TRUE(std::equal(file.begin(), file.end(), one.begin(), one.end(),
                                   [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; }))
                << best << " " << threads;
        }
    }
}

// PackFile reports its progress after each step; answering false stops it and removes the output.
TEST(Packer, FileProgressAndStop) {
    TempDir dir;
    const Bytes data = TextLike(3000000, 9);
    {
        std::ofstream f(dir / "plain", std::ios::binary);
        f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    std::vector<std::uint64_t> reports;
    ASSERT_EQ(PackFile(dir / "plain", dir / "packed", Level(false, 2), [&](std::uint64_t done) {
                  reports.push_back(done);
                  return true;
              }),
              kPackOk);
    ASSERT_GT(reports.size(), 1u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), data.size());
    EXPECT_EQ(PackFile(dir / "plain", dir / "stopped", Level(false, 2), [](std::uint64_t) { return false; }),
              kPackWriteError);
    struct stat st {};
    EXPECT_NE(::stat((dir / "stopped").c_str(), &st), 0);
}

TEST(Packer, FilesRoundTripThroughUnpackFile) {
    TempDir dir;
    const Bytes data = TextLike(500000, 6);
    {
        std::ofstream f(dir / "plain", std::ios::binary);
        f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    ASSERT_EQ(PackFile(dir / "plain", dir / "packed"), kPackOk);
    ASSERT_EQ(UnpackFile(dir / "packed", dir / "back", nullptr, nullptr), kUnpackOk);
    EXPECT_EQ(ReadFile(dir / "back"), ReadFile(dir / "plain"));

    EXPECT_EQ(PackFile(dir / "missing", dir / "x"), kPackSourceError);
    EXPECT_EQ(PackFile(dir / "plain", dir / "plain"), kPackCreateError);
    EXPECT_EQ(ReadFile(dir / "plain").size(), data.size());
    ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "link").c_str()), 0);
    EXPECT_EQ(PackFile(dir / "plain", dir / "link"), kPackCreateError);
    struct stat st {};
    EXPECT_NE(::stat((dir / "victim").c_str(), &st), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(PackFile(dir / "fifo", dir / "x"), kPackSourceError);
    EXPECT_EQ(PackFile(dir / "plain", dir / "fifo"), kPackCreateError);
}

} // namespace
} // namespace quillon::test
