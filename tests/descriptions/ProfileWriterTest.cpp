// The writer: a written store loads back answering every query the same.
#include "ProfileFixtures.h"

#include "descriptions/ProfileWriter.h"
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace quillon::test {
namespace {

// Random names from a small alphabet (so names repeat, sections and entries collide in buckets
// and duplicates occur), with Cyrillic, a supplementary-plane character and control characters.
std::string RandomText(std::mt19937& random, std::size_t maxLength) {
    static const std::vector<std::string> kPieces = {
        "a",  "b",  "Z",  ".",  " ", "Я", "ё", "日", "\xF0\x9F\x98\x80",
        "\t", "\n", "\"", "\\", "1", "9", ";", "|"};
    std::string text;
    const std::size_t length = random() % (maxLength + 1);
    for (std::size_t i = 0; i < length; ++i)
        text += kPieces[random() % kPieces.size()];
    return text;
}

CProfileValue RandomValue(std::mt19937& random) {
    switch (random() % 4) {
    case 0:
        return CProfileValue::Bool(random() % 2 != 0);
    case 1:
        return CProfileValue::Int(static_cast<std::int32_t>(random()));
    case 2:
        return CProfileValue::String(RandomText(random, 12));
    default: {
        Bytes bytes(random() % 9);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        return CProfileValue::Bytes(std::move(bytes));
    }
    }
}

void FillRandom(CXCryptedProfile2& store, std::mt19937& random) {
    const int sections = static_cast<int>(random() % 8);
    for (int s = 0; s < sections; ++s) {
        const std::string name = RandomText(random, 3);
        store.AddSection(name);
        const int entries = static_cast<int>(random() % 12);
        for (int e = 0; e < entries; ++e)
            store.AddEntry(name, RandomText(random, 2), RandomValue(random));
    }
}

TEST(ProfileWriter, RandomStoresRoundTrip) {
    std::mt19937 random(4242);
    for (int round = 0; round < 400; ++round) {
        for (const int wide : {1, 0}) {
            CXCryptedProfile2 original(wide);
            FillRandom(original, random);
            Bytes image;
            std::string error;
            ASSERT_TRUE(WriteProfileImage(original, image, &error)) << error;
            CXCryptedProfile2 loaded(wide);
            ASSERT_TRUE(LoadImage(loaded, image)) << ProfileLoadErrorText(loaded.LastError());
            ExpectSameAnswers(original, loaded);
            if (testing::Test::HasFatalFailure())
                return;
            // Writing the loaded store again gives the same bytes.
            Bytes again;
            ASSERT_TRUE(WriteProfileImage(loaded, again));
            ASSERT_EQ(image, again);
        }
    }
}

TEST(ProfileWriter, StreamListsItemsInTheOrderTheyWereAdded) {
    CXCryptedProfile2 store;
    store.AddEntry("Info", "Size", CProfileValue::Int(5));
    store.AddEntry("Info", "Name.R", CProfileValue::String("Словарь"));
    store.AddSection("Empty");
    StreamBuilder expected;
    expected.Int(2).Section("Info", 2).I("Size", 5).S("Name.R", "Словарь").Section("Empty", 0);
    Bytes image;
    ASSERT_TRUE(WriteProfileImage(store, image));
    EXPECT_EQ(image, expected.Image());
}

TEST(ProfileWriter, SaveReplacesTheFileWholeOrNotAtAll) {
    TempDir dir;
    CXCryptedProfile2 store;
    store.AddEntry("Info", "Size", CProfileValue::Int(5));
    const std::string path = dir / "SETUP.INI";
    dir.Write("SETUP.INI", "old content");
    std::string error;
    ASSERT_TRUE(SaveProfileFile(store, path, &error)) << error;
    CXCryptedProfile2 loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.GetInt("Info", "Size", 0), 5);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);

    // A folder that does not exist: refused with a message, nothing created.
    EXPECT_FALSE(SaveProfileFile(store, dir / "missing/SETUP.INI", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

} // namespace
} // namespace quillon::test
