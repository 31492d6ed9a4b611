// Bad profile files: every one fails with its reason, leaves the store empty, and never makes
// the reader go past its data.
#include "ProfileFixtures.h"

#include "descriptions/ProfileContainer.h"
#include "support/Crc32.h"

#include <gtest/gtest.h>

#include <random>

namespace quillon::test {
namespace {

StreamBuilder SmallProfile() {
    StreamBuilder b;
    b.Int(3);
    b.Section("7 - templates", 2).S("law", "").S("it", "x");
    b.Section("Info", 4)
        .S("Comment.R", "Комментарий")
        .I("Size", 1024)
        .B("Flag", true)
        .H("Blob", {0, 0xFF, 7});
    b.Section("Empty", 0);
    return b;
}

void SetU32(Bytes& image, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Loads `image` and expects failure for `reason`, with nothing kept.
void ExpectRefused(const Bytes& image, ProfileLoadError reason) {
    CXCryptedProfile2 store;
    EXPECT_FALSE(LoadImage(store, image));
    EXPECT_EQ(store.LastError(), reason) << ProfileLoadErrorText(store.LastError());
    EXPECT_EQ(store.GetSectionCount(), 0);
    EXPECT_EQ(store.SourcePath(), "");
}

ProfileLoadError StreamError(const StreamBuilder& b) {
    CXCryptedProfile2 store;
    if (LoadImage(store, b.Image()))
        return ProfileLoadError::None;
    EXPECT_EQ(store.GetSectionCount(), 0);
    return store.LastError();
}

TEST(ProfileContainer, SoundFileLoadsAndHeaderIsAsDocumented) {
    const Bytes image = SmallProfile().Image();
    const Bytes stream = SmallProfile().Stream();
    ASSERT_EQ(image.size(), 12 + stream.size());
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "XCP2");
    EXPECT_EQ(image[4] | image[5] << 8 | image[6] << 16 | image[7] << 24,
              static_cast<int>(stream.size()));
    const std::uint32_t crc =
        image[8] | image[9] << 8 | image[10] << 16 | std::uint32_t(image[11]) << 24;
    EXPECT_EQ(crc, Crc32::Of(image.data() + 12, stream.size()));
    for (std::size_t i = 0; i < stream.size(); ++i)
        ASSERT_EQ(image[12 + i], stream[i] ^ 0xA7) << i;

    CXCryptedProfile2 store;
    ASSERT_TRUE(LoadImage(store, image));
    EXPECT_EQ(store.GetSectionCount(), 3);
    EXPECT_EQ(store.GetString("Info", "Comment.R"), "Комментарий");
    EXPECT_EQ(store.FindValue("Info", "Blob")->Data(), (Bytes{0, 0xFF, 7}));
}

TEST(ProfileContainer, BadMagicCrcAndLength) {
    const Bytes good = SmallProfile().Image();

    Bytes magic = good;
    magic[3] = '1';
    ExpectRefused(magic, ProfileLoadError::BadMagic);

    Bytes crc = good;
    crc[9] ^= 1;
    ExpectRefused(crc, ProfileLoadError::BadCrc);

    Bytes body = good;
    body[40] ^= 0x10;
    ExpectRefused(body, ProfileLoadError::BadCrc);

    Bytes longer = good;
    SetU32(longer, 4, static_cast<std::uint32_t>(good.size() - 12 + 1));
    ExpectRefused(longer, ProfileLoadError::BadLength);

    Bytes huge = good;
    SetU32(huge, 4, 0xFFFFFFFFu);
    ExpectRefused(huge, ProfileLoadError::BadLength);

    // The right CRC of a shorter length: the bytes after N are not part of any file we write.
    Bytes shorter = good;
    const std::uint32_t n = static_cast<std::uint32_t>(good.size() - 12 - 5);
    SetU32(shorter, 4, n);
    SetU32(shorter, 8, Crc32::Of(shorter.data() + 12, n));
    ExpectRefused(shorter, ProfileLoadError::BadLength);

    Bytes extra = good;
    extra.push_back(0);
    ExpectRefused(extra, ProfileLoadError::BadLength);

    ExpectRefused(Bytes{}, ProfileLoadError::TooShort);
    ExpectRefused(Bytes{'X', 'C', 'P', '2'}, ProfileLoadError::TooShort);
}

TEST(ProfileContainer, EveryTruncationOfTheFileFails) {
    const Bytes good = SmallProfile().Image();
    for (std::size_t size = 0; size < good.size(); ++size) {
        const Bytes cut(good.begin(), good.begin() + static_cast<long>(size));
        CXCryptedProfile2 store;
        ASSERT_FALSE(LoadImage(store, cut)) << size;
        EXPECT_EQ(store.LastError(),
                  size < 12 ? ProfileLoadError::TooShort : ProfileLoadError::BadLength);
        EXPECT_EQ(store.GetSectionCount(), 0);
    }
}

TEST(ProfileRecordStream, EveryCutOfTheStreamFailsEvenWithARightCrc) {
    // The container is made to fit each prefix, so only the stream reader stands between a cut
    // in the middle of an item and a store.
    const Bytes stream = SmallProfile().Stream();
    for (std::size_t size = 0; size < stream.size(); ++size) {
        StreamBuilder cut;
        cut.Raw(Bytes(stream.begin(), stream.begin() + static_cast<long>(size)));
        const ProfileLoadError e = StreamError(cut);
        ASSERT_NE(e, ProfileLoadError::None) << size;
        EXPECT_TRUE(e == ProfileLoadError::Truncated || e == ProfileLoadError::BadTag) << size;
    }
}

TEST(ProfileRecordStream, WrongTagsTypesAndFlags) {
    { // The section count is not an integer item.
        StreamBuilder b;
        b.Text("3");
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadTag);
    }
    { // A section name given as an integer.
        StreamBuilder b;
        b.Int(1).Int(5).Int(0);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadTag);
    }
    { // An unknown tag byte.
        StreamBuilder b;
        b.Int(1).Raw({9, 0, 0, 0, 0}).Int(0);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadTag);
    }
    { // Type code 'X'.
        StreamBuilder b;
        b.Int(1).Section("s", 1).Text("e").Int('X').Int(1);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadType);
    }
    { // Type 'S' with an integer value.
        StreamBuilder b;
        b.Int(1).Section("s", 1).Text("e").Int('S').Int(1);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadTag);
    }
    { // Type 'B' with an integer item instead of a flag.
        StreamBuilder b;
        b.Int(1).Section("s", 1).Text("e").Int('B').Int(1);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadTag);
    }
    { // A flag of 2.
        StreamBuilder b;
        b.Int(1).Section("s", 1).Text("e").Int('B').Flag(2);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadFlag);
    }
    { // Type 'H' with a text.
        StreamBuilder b;
        b.Int(1).Section("s", 1).Text("e").Int('H').Text("ab");
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadTag);
    }
}

TEST(ProfileRecordStream, CountsAndLengthsBoundedByTheBytesLeft) {
    {
        StreamBuilder b;
        b.Int(-1);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadCount);
    }
    {
        StreamBuilder b;
        b.Int(1).Section("s", -3);
        EXPECT_EQ(StreamError(b), ProfileLoadError::BadCount);
    }
    { // Two billion sections announced in a few bytes: refused before any is made.
        StreamBuilder b;
        b.Int(0x7FFFFFFF).Section("s", 0);
        EXPECT_EQ(StreamError(b), ProfileLoadError::Truncated);
    }
    {
        StreamBuilder b;
        b.Int(1).Section("s", 0x7FFFFFFF).I("a", 1);
        EXPECT_EQ(StreamError(b), ProfileLoadError::Truncated);
    }
    for (const std::uint32_t units : {0xFFFFFFFFu, 0x80000000u, 0x80000001u, 100u}) {
        // 2 * 0x80000000 wraps to 0 in 32 bits; the length must still be refused.
        StreamBuilder b;
        b.Int(1).Raw({kTagText}).U32(units).Raw({'a', 0}).Int(0);
        EXPECT_EQ(StreamError(b), ProfileLoadError::Truncated) << units;
    }
    for (const std::uint32_t n : {0xFFFFFFFFu, 0xFFFFFFF0u, 6u}) {
        StreamBuilder b;
        b.Int(1).Section("s", 1).Text("e").Int('H').Raw({kTagBlock}).U32(n).Raw({1, 2, 3, 4, 5});
        EXPECT_EQ(StreamError(b), ProfileLoadError::Truncated) << n;
    }
    { // Data after the last section.
        StreamBuilder b;
        b.Int(1).Section("s", 0).Int(0);
        EXPECT_EQ(StreamError(b), ProfileLoadError::TrailingData);
    }
    { // Fewer sections than announced.
        StreamBuilder b;
        b.Int(2).Section("s", 1).I("a", 1);
        EXPECT_EQ(StreamError(b), ProfileLoadError::Truncated);
    }
}

TEST(ProfileRecordStream, AFailedLoadMayBeFollowedByASoundOne) {
    CXCryptedProfile2 store;
    StreamBuilder bad;
    bad.Int(2).Section("s", 1).I("a", 1);
    EXPECT_FALSE(LoadImage(store, bad.Image()));
    EXPECT_TRUE(LoadImage(store, SmallProfile().Image()));
    EXPECT_EQ(store.GetSectionCount(), 3);
}

TEST(ProfileRecordStream, RandomDamageNeverCrashes) {
    const Bytes stream = SmallProfile().Stream();
    const Bytes image = SmallProfile().Image();
    std::mt19937 random(20261209);
    for (int round = 0; round < 20000; ++round) {
        // Damage the stream and re-wrap it, so the CRC does not hide the damage from the reader.
        StreamBuilder damaged;
        Bytes s = stream;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int f = 0; f < flips; ++f)
            s[random() % s.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
        if (random() % 4 == 0)
            s.resize(random() % s.size());
        damaged.Raw(s);
        CXCryptedProfile2 store;
        if (LoadImage(store, damaged.Image())) {
            // What loads answers its queries.
            for (std::int32_t i = 0; i < store.GetSectionCount(); ++i)
                store.GetEntryCount(store.GetSectionName(i));
        } else {
            ASSERT_EQ(store.GetSectionCount(), 0);
        }
        // And the file image with a flipped byte fails at the container.
        Bytes file = image;
        file[random() % file.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
        CXCryptedProfile2 other;
        ASSERT_FALSE(LoadImage(other, file));
    }
}

} // namespace
} // namespace quillon::test
