#include "CfbFixture.h"

#include "support/CompoundFile.h"
#include "support/CompoundFileWriter.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace quillon {
namespace {

using test::Bytes;
using test::CfbFixture;
using Streams = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;

// Opens `fixture` and expects a Corrupt failure whose reason holds `reason`.
void ExpectCorrupt(const CfbFixture& fixture, const std::string& reason) {
    CompoundFile f;
    EXPECT_FALSE(f.OpenBytes(fixture.bytes));
    EXPECT_EQ(f.LastFailure(), CompoundFile::Failure::Corrupt);
    EXPECT_NE(f.Error().find(reason), std::string::npos) << "error: " << f.Error();
    EXPECT_TRUE(f.Elements().empty());
}

std::vector<std::uint8_t> ReadStream(CompoundFile& f, std::string_view name) {
    std::vector<std::uint8_t> out;
    const int i = f.Find(name);
    EXPECT_GE(i, 0) << name;
    EXPECT_TRUE(f.ReadAll(i, out)) << f.Error();
    return out;
}

Streams Mixed() {
    return {{"RAVIRI.INF", Bytes(5000, 1)}, {"SETUP.INI", Bytes(300, 2)}, {"Empty", {}},
            {"Ровно", Bytes(4096, 3)},      {"Мини", Bytes(4095, 4)},     {"One", Bytes(1, 5)},
            {"Sixty4", Bytes(64, 6)},       {"Sixty5", Bytes(65, 7)},     {"Big", Bytes(70000, 8)}};
}

TEST(CompoundFile, RoundTripsStreamsOfEverySizeClassInBothVersions) {
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        const Streams streams = Mixed();
        CfbFixture fx = CfbFixture::Make(streams, version);
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(f.SectorSize(), version == 4 ? 4096u : 512u);
        ASSERT_EQ(f.Elements().size(), streams.size());
        for (const auto& [name, content] : streams) {
            const int i = f.Find(name);
            ASSERT_GE(i, 0) << name;
            EXPECT_TRUE(f.Elements()[i].isStream);
            EXPECT_EQ(f.Elements()[i].size, content.size());
            EXPECT_EQ(ReadStream(f, name), content) << name;
        }
        // Listed in the directory's name order: shorter names first, then upper-cased.
        std::vector<std::string> names;
        for (const auto& e : f.Elements())
            names.push_back(e.name);
        EXPECT_EQ(names, (std::vector<std::string>{"Big", "One", "Мини", "Empty", "Ровно", "Sixty4",
                                                   "Sixty5", "SETUP.INI", "RAVIRI.INF"}));
    }
}

TEST(CompoundFile, FindIgnoresLetterCaseAndReadsInPieces) {
    CfbFixture fx = CfbFixture::Make(Mixed());
    CompoundFile f;
    ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
    EXPECT_EQ(f.Find("raviri.inf"), f.Find("RAVIRI.INF"));
    EXPECT_EQ(f.Find("мини"), f.Find("Мини"));
    EXPECT_GE(f.Find("ровНО"), 0);
    EXPECT_EQ(f.Find("RAVIRI"), -1);
    // Reads across sector and mini-sector borders, and past the end.
    const std::vector<std::uint8_t> big = Bytes(70000, 8), small = Bytes(300, 2);
    std::vector<std::uint8_t> part(1000);
    ASSERT_EQ(f.Read(f.Find("Big"), 500, part.data(), part.size()), 1000);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), big.begin() + 500));
    ASSERT_EQ(f.Read(f.Find("setup.ini"), 60, part.data(), part.size()), 240);
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + 240, small.begin() + 60));
    EXPECT_EQ(f.Read(f.Find("setup.ini"), 300, part.data(), part.size()), 0);
    EXPECT_EQ(f.Read(99, 0, part.data(), part.size()), -1);
}

TEST(CompoundFile, WriterTreeIsAValidRedBlackTreeInNameOrder) {
    for (int n = 1; n <= 40; ++n) {
        SCOPED_TRACE(n);
        Streams streams;
        for (int i = 0; i < n; ++i)
            streams.push_back({"s" + std::to_string((i * 7919) % 1000), {std::uint8_t(i)}});
        CfbFixture fx = CfbFixture::Make(streams);
        // Walk from the root's child, checking order, colours and black heights.
        struct Frame {
            std::uint32_t id;
            std::u16string lo, hi; // open bounds, empty = none
        };
        auto name = [&](std::uint32_t id) {
            std::u16string s;
            for (std::size_t k = 0; k + 1 < fx.U32(fx.NameLength(id)) % 65536 / 2; ++k)
                s += static_cast<char16_t>(fx.bytes[fx.Entry(id) + 2 * k] |
                                           fx.bytes[fx.Entry(id) + 2 * k + 1] << 8);
            return s;
        };
        std::function<int(std::uint32_t, const std::u16string*, const std::u16string*, bool, int&)>
            check = [&](std::uint32_t id, const std::u16string* lo, const std::u16string* hi,
                        bool parentRed, int& count) -> int {
            if (id == kFree)
                return 1;
            ++count;
            const std::u16string me = name(id);
            if (lo) {
                EXPECT_LT(CompoundFileWriter::CompareNames(*lo, me), 0);
            }
            if (hi) {
                EXPECT_LT(CompoundFileWriter::CompareNames(me, *hi), 0);
            }
            const bool red = fx.bytes[fx.Entry(id) + 0x43] == 0;
            EXPECT_FALSE(red && parentRed) << "red entry with a red parent";
            const int l = check(fx.U32(fx.Left(id)), lo, &me, red, count);
            const int r = check(fx.U32(fx.Right(id)), &me, hi, red, count);
            EXPECT_EQ(l, r) << "black heights differ below entry " << id;
            return l + (red ? 0 : 1);
        };
        const std::uint32_t top = fx.U32(fx.Child(0));
        EXPECT_EQ(fx.bytes[fx.Entry(top) + 0x43], 1) << "the tree's root is black";
        int count = 0;
        check(top, nullptr, nullptr, false, count);
        EXPECT_EQ(count, n);
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(f.Elements().size(), std::size_t(n));
    }
}

TEST(CompoundFile, WriterRefusesBadNames) {
    CompoundFileWriter w;
    EXPECT_TRUE(w.AddStream("RAVIRI.INF", {1}));
    EXPECT_FALSE(w.AddStream("raviri.inf", {2}));
    EXPECT_NE(w.Error().find("twice"), std::string::npos);
    EXPECT_FALSE(w.AddStream("", {}));
    EXPECT_FALSE(w.AddStream(std::string(32, 'x'), {}));
    EXPECT_TRUE(w.AddStream(std::string(31, 'x'), {}));
    for (const char* bad : {"a/b", "a\\b", "a:b", "a!b", "a\tb"})
        EXPECT_FALSE(w.AddStream(bad, {})) << bad;
    EXPECT_LT(CompoundFileWriter::CompareNames(u"Z", u"aa"), 0);    // length first
    EXPECT_EQ(CompoundFileWriter::CompareNames(u"abc", u"ABC"), 0); // then upper case
    EXPECT_LT(CompoundFileWriter::CompareNames(u"A", u"_"), 0); // 'a' compares as 'A' (0x41 < 0x5F)
    EXPECT_EQ(CompoundFileWriter::CompareNames(u"ёж", u"ЁЖ"), 0);
}

TEST(CompoundFile, DifatBeyondTheHeaderAndItsRealWorldEnding) {
    // More than 109 FAT sectors: 128 * 109 * 512 bytes is about 7.1 MB.
    const std::vector<std::uint8_t> huge = Bytes(7600000, 9);
    CfbFixture fx = CfbFixture::Make({{"Huge", huge}, {"RAVIRI.INF", Bytes(10, 1)}});
    ASSERT_GT(fx.U32(0x2C), 109u);
    ASSERT_EQ(fx.U32(0x48), 1u);
    {
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(ReadStream(f, "huge"), huge);
    }
    const std::size_t difat = fx.SectorOffset(fx.U32(0x44));
    const std::size_t next = difat + 508;
    ASSERT_EQ(fx.U32(next), kEnd);
    // A DIFAT that ends in FREESECT is accepted.
    fx.SetU32(next, kFree);
    {
        CompoundFile f;
        EXPECT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
    }
    // A DIFAT sector pointing to itself while FAT sectors are still missing: a loop.
    CfbFixture loop = fx;
    loop.SetU32(0x2C, fx.U32(0x2C) + 127); // the FAT now needs a second DIFAT sector
    loop.SetU32(0x48, 2);
    loop.SetU32(next, fx.U32(0x44));
    ExpectCorrupt(loop, "used twice");
    // The chain ends before the FAT is listed.
    CfbFixture cut = fx;
    cut.SetU32(0x44, kEnd);
    ExpectCorrupt(cut, "DIFAT ends after 109");
    // A DIFAT entry in the reserved range.
    CfbFixture reserved = fx;
    reserved.SetU32(difat, 0xFFFFFFFB);
    ExpectCorrupt(reserved, "reserved sector id");
    // The header's DIFAT count says fewer sectors than the chain has.
    CfbFixture fewer = fx;
    fewer.SetU32(0x48, 0);
    ExpectCorrupt(fewer, "longer than the header's count");
}

TEST(CompoundFile, AcceptsRealWorldDeviations) {
    // A FAT longer than the file needs: a second FAT sector of free entries appended.
    {
        CfbFixture fx = CfbFixture::Make({{"Big", Bytes(5000, 1)}, {"Small", Bytes(100, 2)}});
        ASSERT_EQ(fx.U32(0x2C), 1u);
        const std::uint32_t extra = static_cast<std::uint32_t>(fx.bytes.size() / 512 - 1);
        fx.bytes.resize(fx.bytes.size() + 512, 0xFF);
        fx.SetU32(0x2C, 2);
        fx.SetU32(0x4C + 4, extra);
        fx.SetU32(fx.FatEntry(extra), 0xFFFFFFFD);
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(ReadStream(f, "Big"), Bytes(5000, 1));
        EXPECT_EQ(ReadStream(f, "Small"), Bytes(100, 2));
    }
    // Root storage with values in fields it does not use; no mini stream but a start sector of 0;
    // an empty stream with a start sector; a version-3 size with garbage in its upper half.
    {
        CfbFixture fx = CfbFixture::Make({{"Big", Bytes(5000, 1)}, {"Empty", {}}});
        fx.SetU32(fx.Left(0), 7);
        fx.SetU32(fx.Right(0), 9);
        fx.bytes[fx.Entry(0) + 0x43] = 0; // red
        fx.SetU64(fx.Entry(0) + 0x64, 0x01D0000012345678ull);
        fx.SetU32(fx.Start(0), 0);
        const int empty = fx.EntryIndex("Empty");
        fx.SetU32(fx.Start(empty), 3);
        const int big = fx.EntryIndex("Big");
        fx.SetU32(fx.Size(big) + 4, 0xDEADBEEF);
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(f.Elements()[f.Find("Big")].size, 5000u);
        EXPECT_EQ(ReadStream(f, "Big"), Bytes(5000, 1));
        EXPECT_TRUE(ReadStream(f, "Empty").empty());
    }
    // A last sector cut short where only unused bytes are missing.
    {
        CfbFixture fx = CfbFixture::Make({{"Big", Bytes(5000, 1)}});
        ASSERT_EQ(fx.bytes.size() % 512, 0u);
        fx.bytes.resize(fx.bytes.size() - 512 + 5000 % 512);
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(ReadStream(f, "Big"), Bytes(5000, 1));
    }
    // A very deep tree: every entry the right sibling of the one before (a linked list).
    {
        Streams streams;
        for (int i = 0; i < 300; ++i)
            streams.push_back({"n" + std::to_string(1000 + i), {std::uint8_t(i)}});
        CfbFixture fx = CfbFixture::Make(streams);
        fx.SetU32(fx.Child(0), 1);
        for (std::uint32_t i = 1; i <= 300; ++i) {
            fx.SetU32(fx.Left(i), kFree);
            fx.SetU32(fx.Right(i), i < 300 ? i + 1 : kFree);
        }
        CompoundFile f;
        ASSERT_TRUE(f.OpenBytes(fx.bytes)) << f.Error();
        EXPECT_EQ(f.Elements().size(), 300u);
    }
}

TEST(CompoundFile, RefusesBadHeaders) {
    const CfbFixture good = CfbFixture::Make(Mixed());
    {
        CompoundFile f;
        std::vector<std::uint8_t> bytes = good.bytes;
        bytes[7] ^= 1;
        EXPECT_FALSE(f.OpenBytes(bytes));
        EXPECT_EQ(f.LastFailure(), CompoundFile::Failure::NotCompound);
        // Signature followed by nothing.
        EXPECT_FALSE(f.OpenBytes({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}));
        EXPECT_EQ(f.LastFailure(), CompoundFile::Failure::NotCompound);
        EXPECT_FALSE(f.OpenBytes({}));
        EXPECT_EQ(f.LastFailure(), CompoundFile::Failure::NotCompound);
    }
    auto patched = [&](std::size_t offset, std::uint32_t value, bool wide) {
        CfbFixture fx = good;
        if (wide)
            fx.SetU32(offset, value);
        else
            fx.SetU16(offset, static_cast<std::uint16_t>(value));
        return fx;
    };
    for (std::uint32_t shift : {0u, 64u, 65535u, 8u, 16u})
        ExpectCorrupt(patched(0x1E, shift, false), "sector shift " + std::to_string(shift));
    ExpectCorrupt(patched(0x1E, 12, false), "version 3 with sector shift 12");
    ExpectCorrupt(patched(0x1A, 5, false), "version 5");
    ExpectCorrupt(patched(0x20, 7, false), "mini sector shift 7");
    ExpectCorrupt(patched(0x20, 0, false), "mini sector shift 0");
    ExpectCorrupt(patched(0x1C, 0xFEFF, false), "byte order");
    ExpectCorrupt(patched(0x38, 8192, true), "cutoff");
    ExpectCorrupt(patched(0x2C, 0xFFFFFFFF, true), "FAT sector count 4294967295");
    ExpectCorrupt(patched(0x2C, 0, true), "FAT sector count 0");
    ExpectCorrupt(patched(0x48, 0xFFFFFFFF, true), "DIFAT sector count 4294967295");
    ExpectCorrupt(patched(0x40, 0x40000000, true), "mini FAT sector count");
    ExpectCorrupt(patched(0x4C, 0xFFFFFFFB, true), "reserved sector id");
    ExpectCorrupt(patched(0x4C, 100000, true), "beyond the file");
    ExpectCorrupt(patched(0x30, 0xFFFFFFFC, true), "reserved sector id");
    ExpectCorrupt(patched(0x30, kEnd, true), "directory is empty");
    ExpectCorrupt(patched(0x30, 0, true),
                  "used twice"); // the directory chain starts in the FAT itself
}

TEST(CompoundFile, RefusesBrokenChains) {
    const CfbFixture good = CfbFixture::Make(Mixed());
    const int big = good.EntryIndex("Big");
    const int ravi = good.EntryIndex("RAVIRI.INF");
    const int setup = good.EntryIndex("SETUP.INI");
    const std::uint32_t bigStart = good.U32(good.Start(big));
    {
        CfbFixture fx = good; // a self-loop
        fx.SetU32(fx.FatEntry(bigStart), bigStart);
        ExpectCorrupt(fx, "used twice");
    }
    {
        CfbFixture fx = good; // A -> B -> A
        const std::uint32_t b = fx.U32(fx.FatEntry(bigStart));
        fx.SetU32(fx.FatEntry(b), bigStart);
        ExpectCorrupt(fx, "used twice");
    }
    {
        CfbFixture fx = good; // the directory chain loops
        const std::uint32_t dir = fx.U32(0x30);
        fx.SetU32(fx.FatEntry(dir), dir);
        ExpectCorrupt(fx, "used twice");
    }
    {
        CfbFixture fx = good; // two streams share their sectors
        fx.SetU32(fx.Start(ravi), bigStart);
        ExpectCorrupt(fx, "used twice");
    }
    {
        CfbFixture fx = good; // a chain into a sector past the end of the file
        fx.SetU32(fx.FatEntry(bigStart), 90000);
        ExpectCorrupt(fx, "beyond the file");
    }
    {
        CfbFixture fx = good; // a chain into the reserved range
        fx.SetU32(fx.FatEntry(bigStart), 0xFFFFFFFC);
        ExpectCorrupt(fx, "reserved sector id");
    }
    {
        CfbFixture fx = good; // a FREESECT in the middle of a chain
        fx.SetU32(fx.FatEntry(bigStart), kFree);
        ExpectCorrupt(fx, "reserved sector id");
    }
    {
        CfbFixture fx = good; // size larger than the chain
        fx.SetU64(fx.Size(big), 70000 + 512);
        ExpectCorrupt(fx, "shorter than its size");
    }
    {
        CfbFixture fx = good; // size smaller than the chain
        fx.SetU64(fx.Size(big), 70000 - 512);
        ExpectCorrupt(fx, "longer than its size");
    }
    {
        CfbFixture fx = good; // a size beyond the file
        fx.SetU64(fx.Size(big), 0x7FFFFFFF);
        ExpectCorrupt(fx, "exceeds the file");
    }
    {
        CfbFixture fx = good; // the mini stream's size beyond the file
        fx.SetU64(fx.Size(0), 0x70000000);
        ExpectCorrupt(fx, "mini stream size");
    }
    {
        CfbFixture fx = good; // truncated: the last sectors of the big stream are gone
        fx.bytes.resize(fx.bytes.size() - 2000);
        ExpectCorrupt(fx, "past the end of the file");
    }
    {
        // truncated inside the header sector of a version-4 file
        CfbFixture v4 = CfbFixture::Make(Mixed(), 4);
        v4.bytes.resize(2000);
        ExpectCorrupt(v4, "ends inside its header sector");
    }
    // Mini stream chains.
    const std::uint32_t mini = good.U32(good.Start(setup)); // 300 bytes: 5 mini sectors
    {
        CfbFixture fx = good; // a loop of two mini sectors
        fx.SetU32(fx.MiniFatEntry(mini + 1), mini);
        ExpectCorrupt(fx, "mini sector");
    }
    {
        CfbFixture fx = good; // a mini sector beyond the mini stream
        fx.SetU32(fx.Start(setup), 5000);
        ExpectCorrupt(fx, "beyond the mini stream");
    }
    {
        CfbFixture fx = good; // two small streams share mini sectors
        fx.SetU32(fx.Start(setup), fx.U32(fx.Start(fx.EntryIndex("Sixty5"))));
        ExpectCorrupt(fx, "used twice");
    }
    {
        CfbFixture fx = good; // the mini chain ends early
        fx.SetU32(fx.MiniFatEntry(mini + 2), kEnd);
        ExpectCorrupt(fx, "mini chain ends");
    }
    {
        CfbFixture fx = good; // the mini chain goes on after its size
        fx.SetU64(fx.Size(setup), 200);
        ExpectCorrupt(fx, "mini chain is longer");
    }
    {
        CfbFixture fx = good; // the mini FAT chain loops
        const std::uint32_t mf = fx.U32(0x3C);
        fx.SetU32(fx.FatEntry(mf), mf);
        ExpectCorrupt(fx, "mini FAT");
    }
}

TEST(CompoundFile, RefusesBrokenDirectories) {
    const CfbFixture good = CfbFixture::Make(Mixed());
    const std::uint32_t top = good.U32(good.Child(0));
    const std::uint32_t left = good.U32(good.Left(top));
    ASSERT_NE(left, kFree);
    {
        CfbFixture fx = good;
        fx.SetU32(fx.Child(0), 1000);
        ExpectCorrupt(fx, "index 1000 is out of range");
    }
    {
        CfbFixture fx = good;
        fx.SetU32(fx.Right(left), 0x7FFFFFFF);
        ExpectCorrupt(fx, "out of range");
    }
    {
        CfbFixture fx = good; // a child pointing back to its parent
        fx.SetU32(fx.Left(left), top);
        ExpectCorrupt(fx, "loops back");
    }
    {
        CfbFixture fx = good; // an entry its own sibling
        fx.SetU32(fx.Right(top), top);
        ExpectCorrupt(fx, "loops back");
    }
    {
        CfbFixture fx = good; // the root linked into its own tree
        fx.SetU32(fx.Left(top), 0);
        ExpectCorrupt(fx, "loops back to entry 0");
    }
    {
        CfbFixture fx = good; // an unused entry in the tree
        fx.bytes[fx.Type(left)] = 0;
        ExpectCorrupt(fx, "of type 0");
    }
    {
        CfbFixture fx = good; // a second root
        fx.bytes[fx.Type(left)] = 5;
        ExpectCorrupt(fx, "of type 5");
    }
    {
        CfbFixture fx = good;
        fx.bytes[fx.Type(0)] = 1;
        ExpectCorrupt(fx, "not the root storage");
    }
    {
        CfbFixture fx = good;
        fx.SetU16(fx.NameLength(top), 7);
        ExpectCorrupt(fx, "odd name length 7");
    }
    {
        CfbFixture fx = good;
        fx.SetU16(fx.NameLength(top), 66);
        ExpectCorrupt(fx, "name length 66");
    }
    {
        CfbFixture fx = good;
        fx.SetU16(fx.NameLength(top), 0);
        ExpectCorrupt(fx, "name length 0");
    }
    {
        CfbFixture fx = good; // 32 units without a terminator
        for (std::size_t k = 0; k < 32; ++k)
            fx.SetU16(fx.Entry(top) + 2 * k, 'x');
        fx.SetU16(fx.NameLength(top), 64);
        ExpectCorrupt(fx, "without terminator");
    }
    {
        CfbFixture fx = good;
        fx.SetU16(fx.Entry(top), 0);
        ExpectCorrupt(fx, "embedded NUL");
    }
}

// Small files written out byte by byte, named after what is broken in them. `Dump` reads hex
// digits (blanks ignored) and pads with `fill` up to `size`.
std::vector<std::uint8_t> Dump(std::string_view hex, std::size_t size, std::uint8_t fill) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (char c : hex) {
        const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    out.resize(std::max(out.size(), size), fill);
    return out;
}

// Version 3 header: one FAT sector (sector 0), directory at sector 1, no mini FAT, no DIFAT.
constexpr std::string_view kHeader = "d0cf11e0a1b11ae1 00000000000000000000000000000000"
                                     "3e00 0300 feff 0900 0600 000000000000"
                                     "00000000 01000000 01000000 00000000"
                                     "00100000 feffffff 00000000 feffffff 00000000"
                                     "00000000"; // DIFAT[0] = sector 0; the rest FREESECT

TEST(CompoundFile, RefusesSmallHandWrittenFiles) {
    {
        CompoundFile f; // kHeaderWithoutSectors
        EXPECT_FALSE(f.OpenBytes(Dump(kHeader, 512, 0xFF)));
        EXPECT_NE(f.Error().find("FAT sector count 1 does not fit the file's 0 sectors"),
                  std::string::npos)
            << f.Error();
    }
    {
        // kSelfLoopingDirectory: FAT[0] = FATSECT, FAT[1] = 1.
        std::vector<std::uint8_t> bytes = Dump(kHeader, 512, 0xFF);
        const auto fat = Dump("fdffffff 01000000", 512, 0xFF);
        bytes.insert(bytes.end(), fat.begin(), fat.end());
        bytes.resize(bytes.size() + 512, 0);
        CompoundFile f;
        EXPECT_FALSE(f.OpenBytes(bytes));
        EXPECT_NE(f.Error().find("directory: sector 1 is used twice"), std::string::npos)
            << f.Error();
        // The same with FAT[1] = ENDOFCHAIN and a root storage without children opens, empty.
        bytes[512 + 4] = 0xFE;
        bytes[512 + 5] = bytes[512 + 6] = bytes[512 + 7] = 0xFF;
        const auto root = Dump("52006f006f007400", 0, 0); // "Root"
        std::copy(root.begin(), root.end(), bytes.begin() + 1024);
        bytes[1024 + 0x40] = 10; // name length: 4 units and the terminator
        bytes[1024 + 0x42] = 5;  // root storage
        for (std::size_t k = 0x44; k < 0x50; ++k)
            bytes[1024 + k] = 0xFF; // no siblings, no child
        EXPECT_TRUE(f.OpenBytes(bytes)) << f.Error();
        EXPECT_TRUE(f.Elements().empty());
    }
}

// Random damage to the structure never crashes or hangs the reader; what opens reads cleanly.
TEST(CompoundFile, SurvivesRandomDamage) {
    for (int version : {3, 4}) {
        const CfbFixture good = CfbFixture::Make(Mixed(), version);
        std::mt19937 rng(12345 + version);
        int opened = 0;
        for (int round = 0; round < 1500; ++round) {
            CfbFixture fx = good;
            const int hits = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < hits; ++k) {
                // Mostly the header, FAT and directory (the first sectors), sometimes anywhere.
                const std::size_t limit =
                    rng() % 4 ? std::min<std::size_t>(fx.bytes.size(), 4 * good.SectorSize())
                              : fx.bytes.size();
                fx.bytes[rng() % limit] = static_cast<std::uint8_t>(rng());
            }
            CompoundFile f;
            if (!f.OpenBytes(fx.bytes)) {
                EXPECT_FALSE(f.Error().empty());
                continue;
            }
            ++opened;
            for (std::size_t i = 0; i < f.Elements().size(); ++i) {
                std::vector<std::uint8_t> out;
                if (f.Elements()[i].isStream) {
                    EXPECT_TRUE(f.ReadAll(static_cast<int>(i), out)) << f.Error();
                }
            }
        }
        EXPECT_GT(opened, 0); // damage to unused bytes still opens
    }
}

} // namespace
} // namespace quillon
