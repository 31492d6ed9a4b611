#include "ProfileFixtures.h"

#include "descriptions/ProfileContainer.h"

#include <gtest/gtest.h>

namespace quillon::test {

StreamBuilder& StreamBuilder::U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
}

StreamBuilder& StreamBuilder::Text(std::string_view utf8) {
    RecordWriter w;
    w.WriteText(utf8);
    return Raw(w.Bytes());
}

StreamBuilder& StreamBuilder::Int(std::int32_t v) {
    bytes_.push_back(kTagInteger);
    return U32(static_cast<std::uint32_t>(v));
}

StreamBuilder& StreamBuilder::Flag(std::uint32_t v) {
    bytes_.push_back(kTagFlag);
    return U32(v);
}

StreamBuilder& StreamBuilder::Block(const Bytes& bytes) {
    bytes_.push_back(kTagBlock);
    U32(static_cast<std::uint32_t>(bytes.size()));
    return Raw(bytes);
}

StreamBuilder& StreamBuilder::Raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes StreamBuilder::Image() const {
    Bytes image;
    WrapProfileStream(bytes_, image);
    return image;
}

bool LoadImage(CXCryptedProfile2& store, const Bytes& image) {
    return store.LoadImage(image.data(), image.size(), "memory");
}

std::vector<std::string> SectionNames(const CXCryptedProfile2& store) {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < store.GetSectionCount(); ++i)
        names.push_back(store.GetSectionName(i));
    return names;
}

std::vector<std::string> EntryNames(const CXCryptedProfile2& store, std::string_view section) {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < store.GetEntryCount(section); ++i)
        names.push_back(store.GetEntryName(section, i));
    return names;
}

void ExpectSameAnswers(const CXCryptedProfile2& a, const CXCryptedProfile2& b) {
    ASSERT_EQ(a.GetSectionCount(), b.GetSectionCount());
    ASSERT_EQ(SectionNames(a), SectionNames(b));
    const auto& ia = a.Implementation();
    const auto& ib = b.Implementation();
    for (std::size_t s = 0; s < ia.Size(); ++s) {
        // Sections in adding order too: duplicates hidden from lookups must match as well.
        const auto* sa = ia.AtAdded(s);
        const auto* sb = ib.AtAdded(s);
        ASSERT_EQ(sa->name, sb->name);
        ASSERT_EQ(sa->value->Size(), sb->value->Size()) << sa->name;
        for (std::size_t e = 0; e < sa->value->Size(); ++e) {
            ASSERT_EQ(sa->value->AtIndex(e)->name, sb->value->AtIndex(e)->name);
            ASSERT_EQ(sa->value->AtAdded(e)->name, sb->value->AtAdded(e)->name);
            ASSERT_EQ(*sa->value->AtIndex(e)->value, *sb->value->AtIndex(e)->value) << sa->name;
        }
    }
    for (const std::string& section : SectionNames(a)) {
        ASSERT_EQ(a.GetEntryCount(section), b.GetEntryCount(section));
        for (std::int32_t i = 0; i < a.GetEntryCount(section); ++i) {
            const std::string name = a.GetEntryName(section, i);
            ASSERT_EQ(name, b.GetEntryName(section, i));
            ASSERT_EQ(a.GetEntryTypeAt(section, i), b.GetEntryTypeAt(section, i));
            ASSERT_EQ(a.GetEntryType(section, name), b.GetEntryType(section, name));
            ASSERT_EQ(a.GetInt(section, name, -77), b.GetInt(section, name, -77));
            ASSERT_EQ(a.GetBool(section, name), b.GetBool(section, name));
            ASSERT_EQ(a.GetString(section, name), b.GetString(section, name));
            const CProfileValue* va = a.FindValue(section, name);
            const CProfileValue* vb = b.FindValue(section, name);
            ASSERT_TRUE(va && vb);
            ASSERT_EQ(*va, *vb);
        }
    }
}

} // namespace quillon::test
