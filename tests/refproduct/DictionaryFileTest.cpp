#include "DictionaryFile.h"

#include "support/Crc32.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>

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
    // an entry whose line length runs past the end
    std::string line = good;
    const auto at = line.find("дом") - 4;
    line[at + 3] = 0x10;
    EXPECT_FALSE(ParseDictionary(Reseal(line), error));
    EXPECT_NE(error.find("past the end"), std::string::npos);
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
