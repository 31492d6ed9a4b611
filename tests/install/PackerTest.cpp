#include "install/Packer.h"
#include "install/PackedFixtures.h"
#include "install/ReferenceUnpacker.h"
#include "install/UnpackFile.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::test {
namespace {

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

void ExpectRoundTrip(const Bytes& data, const char* what, const PackOptions& options = {}) {
    SCOPED_TRACE(what);
    const Bytes packed = PackData(data.data(), data.size(), options);
    ByteBuffer unpacked;
    ASSERT_EQ(UnpackToMemory(packed.data(), packed.size(), unpacked), kUnpackOk);
    EXPECT_TRUE(std::ranges::equal(unpacked, data));
    // The byte-at-a-time unpacker reads the same data: the packer keeps to the format itself.
    const auto reference = ReferenceUnpack(packed, [](std::uint16_t) { return true; });
    EXPECT_EQ(reference.result, 0);
    EXPECT_TRUE(reference.output == data);
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
    EXPECT_LT(PackData(text.data(), text.size()).size(), text.size() * 55 / 100);
    const Bytes zeros(1 << 20, 0);
    // 18 bytes per two-byte match: at most about 1/8 of the data.
    EXPECT_LT(PackData(zeros.data(), zeros.size()).size(), zeros.size() / 8 + 100);
    const Bytes random = RandomBytes(1 << 20, 5);
    // Incompressible data grows by one flag byte per eight literals.
    EXPECT_LE(PackData(random.data(), random.size()).size(), random.size() * 9 / 8 + 17);
    // The optimal parse does better on text than taking the longest match each time.
    PackOptions greedy;
    greedy.optimal = false;
    EXPECT_LT(PackData(text.data(), text.size()).size(), PackData(text.data(), text.size(), greedy).size());
    ExpectRoundTrip(text, "text, greedy", greedy);
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
