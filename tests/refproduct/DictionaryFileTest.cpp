#include "DictionaryFile.h"

#include "support/Crc32.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace kaldo {
namespace {

DictionaryFile Sample(std::uint16_t version) {
    DictionaryFile f;
    f.SetVersion(version);
    f.SetLinkNumber(-123456);
    f.SetLinkCode(0xAB);
    f.SetFormatLevel(72);
    f.SetDirectionId(0x00020001);
    f.SetGuid("{01234567-89AB-4CDE-8F01-23456789ABCD}");
    f.SetTitleBytes("Title");
    f.SetProperty("remarks_w", {'a', 0, 'b', 0});
    f.Entries().push_back({"house", {"дом", "здание"}});
    f.Entries().push_back({"cat", {}});
    return f;
}

// Re-seals bytes edited by a test so that only the edit, not the checksum, is what breaks.
std::string Reseal(std::string bytes) {
    const std::uint32_t crc = quillon::Crc32::Of(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
    return bytes;
}

TEST(DictionaryFile, RoundTripsEveryFieldAndTheTitleSitsAtOffsetSixOfTheHeader) {
    const DictionaryFile f = Sample(4);
    const std::string bytes = SerializeDictionary(f);
    std::string error;
    auto back = ParseDictionary(bytes, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, f);
    EXPECT_EQ(back->LinkNumber(), -123456);
    EXPECT_EQ(back->LinkCode(), 0xAB);
    EXPECT_EQ(back->Guid(), "{01234567-89AB-4CDE-8F01-23456789ABCD}");
    // The header block starts at byte 8 of the file.
    EXPECT_EQ(bytes.substr(8 + kTitleOffset, 6), std::string("Title\0", 6));
}

TEST(DictionaryFile, NamedPropertiesAreNotStoredBeforeVersionFour) {
    std::string error;
    auto back = ParseDictionary(SerializeDictionary(Sample(3)), error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->Properties().empty());
    EXPECT_EQ(back->Entries().size(), 2u);
}

TEST(DictionaryFile, TitleKeepsFifteenBytesAndAZero) {
    DictionaryFile f;
    f.SetTitleBytes("12345678901234567890");
    EXPECT_EQ(f.TitleBytes(), "123456789012345");
    EXPECT_EQ(f.Header()[kTitleOffset + 15], 0);
}

TEST(DictionaryFile, DamagedFilesDoNotLoad) {
    const std::string good = SerializeDictionary(Sample(4));
    std::string error;
    // truncated anywhere
    for (std::size_t cut : {std::size_t(0), std::size_t(3), std::size_t(50), good.size() - 1})
        EXPECT_FALSE(ParseDictionary(good.substr(0, cut), error)) << cut;
    // a flipped byte breaks the checksum
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x40;
    EXPECT_FALSE(ParseDictionary(flipped, error));
    EXPECT_NE(error.find("checksum"), std::string::npos);
    // bad magic and bad version
    std::string magic = good;
    magic[0] = 'X';
    EXPECT_FALSE(ParseDictionary(Reseal(magic), error));
    std::string version = good;
    version[4] = 9;
    EXPECT_FALSE(ParseDictionary(Reseal(version), error));
    EXPECT_NE(error.find("version"), std::string::npos);
    // a property count far beyond the data
    std::string count = good;
    count[8 + kHeaderBlockSize + 3] = 0x7F;
    EXPECT_FALSE(ParseDictionary(Reseal(count), error));
    EXPECT_NE(error.find("property count"), std::string::npos);
    // the same property name twice
    DictionaryFile twice;
    twice.SetProperty("aaaa", {'1'});
    twice.SetProperty("bbbb", {'2'});
    std::string doubled = SerializeDictionary(twice);
    EXPECT_TRUE(ParseDictionary(doubled, error)) << error;
    doubled.replace(doubled.find("bbbb"), 4, "aaaa");
    EXPECT_FALSE(ParseDictionary(Reseal(doubled), error));
    EXPECT_NE(error.find("twice"), std::string::npos);
    // an entry whose line length runs past the end
    std::string line = good;
    const auto at = line.find("дом") - 4;
    line[at + 3] = 0x10;
    EXPECT_FALSE(ParseDictionary(Reseal(line), error));
    EXPECT_NE(error.find("past the end"), std::string::npos);
}

// Random damage with a valid checksum reaches every length and count check: whatever parses
// must write back to the very same bytes, everything else must fail with a message.
TEST(DictionaryFile, RandomDamageEitherParsesExactlyOrFailsCleanly) {
    const std::string good = SerializeDictionary(Sample(4));
    std::mt19937 random(12345);
    int parsed = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = good;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e)
            bytes[random() % (bytes.size() - 4)] = static_cast<char>(random());
        if (random() % 4 == 0)
            bytes.erase(8 + random() % (bytes.size() - 12), 1 + random() % 8);
        bytes = Reseal(bytes);
        std::string error;
        auto file = ParseDictionary(bytes, error);
        if (file) {
            ++parsed;
            ASSERT_EQ(SerializeDictionary(*file), bytes) << "round " << round;
        } else {
            ++refused;
            ASSERT_FALSE(error.empty());
        }
    }
    EXPECT_GT(parsed, 0);
    EXPECT_GT(refused, 0);
}

TEST(DictionaryFile, WriteReplacesTheFileAtomicallyAndLeavesNoTemporary) {
    quillon::test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDictionaryFile(dir / "a.er", Sample(4), error)) << error;
    ASSERT_TRUE(WriteDictionaryFile(dir / "a.er", Sample(2), error)) << error;
    auto back = ReadDictionaryFile(dir / "a.er", error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->Version(), 2);
    EXPECT_FALSE(WriteDictionaryFile(dir / "missing/a.er", Sample(4), error));
    EXPECT_FALSE(ReadDictionaryFile(dir / "missing.er", error));
}

} // namespace
} // namespace kaldo
