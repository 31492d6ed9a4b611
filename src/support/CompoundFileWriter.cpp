#include "support/CompoundFileWriter.h"

#include "support/AtomicFile.h"
#include "support/CompoundFormat_p.h"
#include "support/Text.h"

#include <algorithm>
#include <numeric>

namespace quillon {

using namespace cfb;

namespace {

char16_t Upper(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) // Latin-1 letters
        return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x430 && c <= 0x44F) // а..я
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) // ѐ..џ
        return static_cast<char16_t>(c - 0x50);
    return c;
}

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return (a + b - 1) / b;
}

// Node links of the balanced sibling tree over `sorted` positions.
struct TreeNode {
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    int depth = 0;
};

// Middle element as the root of each range: every empty link then lies on the last two levels.
std::size_t BuildTree(std::size_t lo, std::size_t hi, int depth, std::vector<TreeNode>& nodes,
                      int& maxDepth) {
    const std::size_t mid = lo + (hi - lo) / 2;
    nodes[mid].depth = depth;
    maxDepth = std::max(maxDepth, depth);
    if (mid > lo)
        nodes[mid].left =
            static_cast<std::uint32_t>(BuildTree(lo, mid, depth + 1, nodes, maxDepth));
    if (mid + 1 < hi)
        nodes[mid].right =
            static_cast<std::uint32_t>(BuildTree(mid + 1, hi, depth + 1, nodes, maxDepth));
    return mid;
}

} // namespace

CompoundFileWriter::CompoundFileWriter(int version) : version_(version == 4 ? 4 : 3) {}

int CompoundFileWriter::CompareNames(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = Upper(a[i]), y = Upper(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool CompoundFileWriter::AddStream(std::string_view name, std::vector<std::uint8_t> content) {
    const std::u16string name16 = Utf8ToUtf16(name);
    if (name16.empty() || name16.size() > kNameBytes / 2 - 1) {
        error_ = "stream name \"" + std::string(name) + "\" must have 1 to 31 UTF-16 units";
        return false;
    }
    for (char16_t c : name16) {
        if (c < 0x20 || c == u'/' || c == u'\\' || c == u':' || c == u'!') {
            error_ =
                "stream name \"" + std::string(name) + "\" holds a character streams may not have";
            return false;
        }
    }
    for (const Stream& s : streams_) {
        if (CompareNames(s.name, name16) == 0) {
            error_ = "stream name \"" + std::string(name) + "\" is given twice";
            return false;
        }
    }
    // Sizes are 32-bit in version 3 files; the whole file stays below 2 GiB either way.
    if (content.size() >= 0x7FFF0000u - total_) {
        error_ = "the compound file would exceed 2 GiB";
        return false;
    }
    total_ += content.size();
    streams_.push_back({name16, std::move(content)});
    return true;
}

std::vector<std::uint8_t> CompoundFileWriter::Build() const {
    const std::uint32_t ss = version_ == 4 ? 4096 : 512;
    const std::uint32_t perFat = ss / 4;
    const std::size_t n = streams_.size();

    // Where each stream goes: mini sectors or regular sectors (counted from the first of its kind).
    std::vector<std::uint32_t> start(n, kEndOfChain);
    std::uint32_t miniSectors = 0, bigSectors = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t size = streams_[i].content.size();
        if (size == 0)
            continue;
        if (size < kMiniStreamCutoff) {
            start[i] = miniSectors;
            miniSectors += static_cast<std::uint32_t>(CeilDiv(size, kMiniSectorSize));
        } else {
            start[i] = bigSectors;
            bigSectors += static_cast<std::uint32_t>(CeilDiv(size, ss));
        }
    }
    const std::uint64_t miniBytes = std::uint64_t(miniSectors) * kMiniSectorSize;
    const auto M = static_cast<std::uint32_t>(CeilDiv(miniBytes, ss));
    const auto MF = static_cast<std::uint32_t>(CeilDiv(miniSectors, perFat));
    const auto D = static_cast<std::uint32_t>(CeilDiv((n + 1) * kEntrySize, ss));
    std::uint32_t F = 1, X = 0;
    for (;;) {
        const std::uint64_t total = std::uint64_t(F) + X + D + MF + M + bigSectors;
        const auto needF = static_cast<std::uint32_t>(CeilDiv(total, perFat));
        const std::uint32_t needX =
            needF > kHeaderDifatEntries
                ? static_cast<std::uint32_t>(CeilDiv(needF - kHeaderDifatEntries, perFat - 1))
                : 0;
        if (needF == F && needX == X)
            break;
        F = std::max(F, needF);
        X = std::max(X, needX);
    }
    // Sector map: FAT, DIFAT, directory, mini FAT, mini stream, regular streams.
    const std::uint32_t firstDifat = F, firstDir = F + X, firstMiniFat = firstDir + D,
                        firstMini = firstMiniFat + MF, firstBig = firstMini + M,
                        totalSectors = firstBig + bigSectors;

    std::vector<std::uint8_t> out((std::size_t(totalSectors) + 1) * ss, 0);
    auto sector = [&](std::uint32_t sid) { return out.data() + (std::size_t(sid) + 1) * ss; };

    std::vector<std::uint32_t> fat(std::size_t(F) * perFat, kFreeSect);
    auto chain = [&](std::uint32_t first, std::uint32_t count) {
        for (std::uint32_t k = 0; k < count; ++k)
            fat[first + k] = k + 1 < count ? first + k + 1 : kEndOfChain;
    };
    for (std::uint32_t k = 0; k < F; ++k)
        fat[k] = kFatSect;
    for (std::uint32_t k = 0; k < X; ++k)
        fat[firstDifat + k] = kDifSect;
    chain(firstDir, D);
    chain(firstMiniFat, MF);
    chain(firstMini, M);
    std::vector<std::uint32_t> miniFat(std::size_t(MF) * perFat, kFreeSect);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t size = streams_[i].content.size();
        if (size == 0)
            continue;
        if (size < kMiniStreamCutoff) {
            const auto count = static_cast<std::uint32_t>(CeilDiv(size, kMiniSectorSize));
            for (std::uint32_t k = 0; k < count; ++k)
                miniFat[start[i] + k] = k + 1 < count ? start[i] + k + 1 : kEndOfChain;
            std::copy(streams_[i].content.begin(), streams_[i].content.end(),
                      sector(firstMini) + std::size_t(start[i]) * kMiniSectorSize);
        } else {
            start[i] += firstBig;
            chain(start[i], static_cast<std::uint32_t>(CeilDiv(size, ss)));
            std::copy(streams_[i].content.begin(), streams_[i].content.end(), sector(start[i]));
        }
    }
    // The mini stream lies in consecutive sectors, so it can be filled as one block above.
    for (std::size_t k = 0; k < fat.size(); ++k)
        WriteU32(sector(static_cast<std::uint32_t>(k / perFat)) + 4 * (k % perFat), fat[k]);
    for (std::size_t k = 0; k < miniFat.size(); ++k)
        WriteU32(sector(firstMiniFat + static_cast<std::uint32_t>(k / perFat)) + 4 * (k % perFat),
                 miniFat[k]);

    // Header.
    std::uint8_t* h = out.data();
    std::copy(std::begin(kSignatureBytes), std::end(kSignatureBytes), h);
    WriteU16(h + kOffMinorVersion, 0x3E);
    WriteU16(h + kOffMajorVersion, static_cast<std::uint16_t>(version_));
    WriteU16(h + kOffByteOrder, 0xFFFE);
    WriteU16(h + kOffSectorShift, version_ == 4 ? 12 : 9);
    WriteU16(h + kOffMiniSectorShift, 6);
    WriteU32(h + kOffDirSectorCount, version_ == 4 ? D : 0);
    WriteU32(h + kOffFatCount, F);
    WriteU32(h + kOffFirstDir, firstDir);
    WriteU32(h + kOffMiniCutoff, kMiniStreamCutoff);
    WriteU32(h + kOffFirstMiniFat, MF ? firstMiniFat : kEndOfChain);
    WriteU32(h + kOffMiniFatCount, MF);
    WriteU32(h + kOffFirstDifat, X ? firstDifat : kEndOfChain);
    WriteU32(h + kOffDifatCount, X);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        WriteU32(h + kOffHeaderDifat + 4 * i, i < F ? i : kFreeSect);
    for (std::uint32_t d = 0; d < X; ++d) {
        std::uint8_t* s = sector(firstDifat + d);
        for (std::uint32_t k = 0; k + 1 < perFat; ++k) {
            const std::uint64_t fatIndex =
                kHeaderDifatEntries + std::uint64_t(d) * (perFat - 1) + k;
            WriteU32(s + 4 * k, fatIndex < F ? static_cast<std::uint32_t>(fatIndex) : kFreeSect);
        }
        WriteU32(s + 4 * (perFat - 1), d + 1 < X ? firstDifat + d + 1 : kEndOfChain);
    }

    // Directory: the root, then the streams in the order they were added; unused entries after.
    std::uint8_t* dir = sector(firstDir);
    const std::size_t slots = std::size_t(D) * ss / kEntrySize;
    for (std::size_t e = 0; e < slots; ++e) {
        std::uint8_t* p = dir + e * kEntrySize;
        WriteU32(p + kOffEntryLeft, kNoStream);
        WriteU32(p + kOffEntryRight, kNoStream);
        WriteU32(p + kOffEntryChild, kNoStream);
    }
    auto writeName = [](std::uint8_t* p, std::u16string_view name) {
        for (std::size_t i = 0; i < name.size(); ++i)
            WriteU16(p + 2 * i, name[i]);
        WriteU16(p + kOffEntryNameLength, static_cast<std::uint16_t>((name.size() + 1) * 2));
    };
    std::vector<std::size_t> sorted(n);
    std::iota(sorted.begin(), sorted.end(), std::size_t(0));
    std::sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) {
        return CompareNames(streams_[a].name, streams_[b].name) < 0;
    });
    std::vector<TreeNode> nodes(n);
    int maxDepth = 0;
    const std::size_t top = n ? BuildTree(0, n, 0, nodes, maxDepth) : 0;

    std::uint8_t* root = dir;
    writeName(root, u"Root Entry");
    root[kOffEntryType] = kTypeRoot;
    root[kOffEntryColor] = kBlack;
    WriteU32(root + kOffEntryChild, n ? static_cast<std::uint32_t>(sorted[top] + 1) : kNoStream);
    WriteU32(root + kOffEntryStart, M ? firstMini : kEndOfChain);
    WriteU64(root + kOffEntrySize, miniBytes);
    for (std::size_t pos = 0; pos < n; ++pos) {
        const std::size_t i = sorted[pos];
        std::uint8_t* p = dir + (i + 1) * kEntrySize;
        writeName(p, streams_[i].name);
        p[kOffEntryType] = kTypeStream;
        // Black everywhere but on the deepest level of an imperfect tree: each path from the root
        // to an empty link then meets the same number of black entries, and no red entry has a
        // red child.
        p[kOffEntryColor] = nodes[pos].depth == maxDepth && maxDepth > 0 ? kRed : kBlack;
        WriteU32(p + kOffEntryLeft, nodes[pos].left == kNoStream
                                        ? kNoStream
                                        : static_cast<std::uint32_t>(sorted[nodes[pos].left] + 1));
        WriteU32(p + kOffEntryRight,
                 nodes[pos].right == kNoStream
                     ? kNoStream
                     : static_cast<std::uint32_t>(sorted[nodes[pos].right] + 1));
        WriteU32(p + kOffEntryStart, start[i]);
        WriteU64(p + kOffEntrySize, streams_[i].content.size());
    }
    return out;
}

bool CompoundFileWriter::WriteFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = Build();
    AtomicFile file;
    if (!file.Begin(path) || !file.Write(bytes.data(), bytes.size()) || !file.Commit(true)) {
        error_ = file.Error();
        return false;
    }
    return true;
}

} // namespace quillon
