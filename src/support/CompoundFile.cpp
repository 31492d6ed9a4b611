#include "support/CompoundFile.h"

#include "support/CompoundFormat_p.h"
#include "support/Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

using namespace cfb;

class CompoundFile::Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

namespace {

class FdSource final : public CompoundFile::Source {
public:
    FdSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~FdSource() override { ::close(fd_); }
    FdSource(const FdSource&) = delete;
    FdSource& operator=(const FdSource&) = delete;
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset > size_ || size > size_ - offset)
            return false;
        auto* p = static_cast<std::uint8_t*>(buffer);
        while (size > 0) {
            const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false; // shrunk under us, or an I/O error
            p += n;
            size -= static_cast<std::size_t>(n);
            offset += static_cast<std::uint64_t>(n);
        }
        return true;
    }

private:
    int fd_;
    std::uint64_t size_;
};

class MemorySource final : public CompoundFile::Source {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset > bytes_.size() || size > bytes_.size() - offset)
            return false;
        if (size)
            std::memcpy(buffer, bytes_.data() + offset, size);
        return true;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

std::string Hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

} // namespace

// The structure checks of Open(). Every table it builds is bounded by the file's size: counts
// from the header are compared with the file's sector count before anything is allocated.
class Parser {
public:
    Parser(CompoundFile::Source& source, std::string& error) : src_(source), error_(error) {}

    bool Run(std::uint32_t& sectorSize, std::vector<CompoundEntry>& elements,
             std::vector<std::vector<std::uint32_t>>& chains,
             std::vector<std::uint32_t>& miniStream);

private:
    bool Fail(std::string reason) {
        error_ = std::move(reason);
        return false;
    }
    // True when `bytes` bytes of regular sector `sid` lie inside the file.
    bool Fits(std::uint32_t sid, std::uint64_t bytes) const {
        return (std::uint64_t(sid) + 1) * ss_ + bytes <= fileSize_;
    }
    bool ReadSector(std::uint32_t sid, std::uint8_t* out, const char* what) {
        if (!Fits(sid, ss_) || !src_.Read((std::uint64_t(sid) + 1) * ss_, out, ss_))
            return Fail(std::string(what) + ": sector " + std::to_string(sid) +
                        " lies past the end of the file");
        return true;
    }
    bool Claim(std::uint32_t sid, const char* what) {
        if (sid > kMaxRegSect)
            return Fail(std::string(what) + ": reserved sector id " + Hex(sid) + " inside a chain");
        if (sid >= sectorCount_)
            return Fail(std::string(what) + ": sector " + std::to_string(sid) +
                        " is beyond the file's " + std::to_string(sectorCount_) + " sectors");
        if (claimed_[sid])
            return Fail(std::string(what) + ": sector " + std::to_string(sid) +
                        " is used twice (a loop or chains sharing sectors)");
        claimed_[sid] = true;
        return true;
    }
    // Follows a FAT chain from `start`. `expected` = 0: to its end; otherwise exactly that many
    // sectors, the last of which needs only `lastBytes` bytes inside the file.
    bool Walk(std::uint32_t start, std::uint64_t expected, std::uint64_t lastBytes,
              std::vector<std::uint32_t>& out, const char* what);
    // The same in the mini stream; the last mini sector needs only `lastBytes` inside it.
    bool WalkMini(std::uint32_t start, std::uint64_t expected, std::uint64_t lastBytes,
                  std::vector<std::uint32_t>& out, const char* what);
    bool ReadDifat(const std::uint8_t* header, std::uint32_t fatCount, std::uint32_t firstDifat,
                   std::uint32_t difatCount, std::vector<std::uint32_t>& fatSectors);
    bool WalkRoot(const std::vector<std::uint8_t>& dir, std::uint32_t rootChild,
                  std::vector<CompoundEntry>& elements,
                  std::vector<std::vector<std::uint32_t>>& chains);

    CompoundFile::Source& src_;
    std::string& error_;
    std::uint64_t fileSize_ = 0;
    std::uint32_t ss_ = 0;
    int version_ = 0;
    std::uint32_t sectorCount_ = 0;
    std::vector<bool> claimed_;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<bool> miniClaimed_;
    std::uint64_t miniStreamSize_ = 0;
};

bool Parser::Walk(std::uint32_t start, std::uint64_t expected, std::uint64_t lastBytes,
                  std::vector<std::uint32_t>& out, const char* what) {
    out.clear();
    for (std::uint32_t sid = start; sid != kEndOfChain || (expected && out.size() < expected);) {
        if (sid == kEndOfChain)
            return Fail(std::string(what) + ": chain of " + std::to_string(out.size()) +
                        " sectors is shorter than its size (" + std::to_string(expected) +
                        " sectors)");
        if (expected && out.size() == expected)
            return Fail(std::string(what) + ": chain is longer than its size (" +
                        std::to_string(expected) + " sectors)");
        if (!Claim(sid, what))
            return false;
        const bool last = expected && out.size() + 1 == expected;
        if (!Fits(sid, last ? lastBytes : ss_))
            return Fail(std::string(what) + ": sector " + std::to_string(sid) +
                        " lies past the end of the file");
        out.push_back(sid);
        if (sid >= fat_.size())
            return Fail(std::string(what) + ": sector " + std::to_string(sid) +
                        " has no FAT entry");
        sid = fat_[sid];
    }
    return true;
}

bool Parser::WalkMini(std::uint32_t start, std::uint64_t expected, std::uint64_t lastBytes,
                      std::vector<std::uint32_t>& out, const char* what) {
    out.clear();
    std::uint32_t sid = start;
    while (out.size() < expected) {
        if (sid > kMaxRegSect)
            return Fail(std::string(what) + ": mini chain ends after " +
                        std::to_string(out.size()) + " of its " + std::to_string(expected) +
                        " mini sectors");
        const std::uint64_t need = out.size() + 1 == expected ? lastBytes : kMiniSectorSize;
        if (std::uint64_t(sid) * kMiniSectorSize + need > miniStreamSize_ || sid >= miniFat_.size())
            return Fail(std::string(what) + ": mini sector " + std::to_string(sid) +
                        " is beyond the mini stream");
        if (miniClaimed_[sid])
            return Fail(std::string(what) + ": mini sector " + std::to_string(sid) +
                        " is used twice (a loop or chains sharing mini sectors)");
        miniClaimed_[sid] = true;
        out.push_back(sid);
        sid = miniFat_[sid];
    }
    if (sid != kEndOfChain)
        return Fail(std::string(what) + ": mini chain is longer than its size (" +
                    std::to_string(expected) + " mini sectors)");
    return true;
}

bool Parser::ReadDifat(const std::uint8_t* header, std::uint32_t fatCount, std::uint32_t firstDifat,
                       std::uint32_t difatCount, std::vector<std::uint32_t>& fatSectors) {
    fatSectors.clear();
    for (std::uint32_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(ReadU32(header + kOffHeaderDifat + 4 * i));
    const std::uint32_t perSector = ss_ / 4 - 1;
    std::vector<std::uint8_t> sector(ss_);
    std::uint32_t sid = firstDifat;
    std::uint32_t read = 0;
    while (fatSectors.size() < fatCount) {
        if (sid == kEndOfChain || sid == kFreeSect)
            return Fail("DIFAT ends after " + std::to_string(fatSectors.size()) + " of the FAT's " +
                        std::to_string(fatCount) + " sectors");
        if (++read > difatCount)
            return Fail("DIFAT chain is longer than the header's count of " +
                        std::to_string(difatCount) + " sectors");
        if (!Claim(sid, "DIFAT") || !ReadSector(sid, sector.data(), "DIFAT"))
            return false;
        for (std::uint32_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(ReadU32(sector.data() + 4 * i));
        sid = ReadU32(sector.data() + 4 * perSector);
    }
    return true;
}

bool Parser::Run(std::uint32_t& sectorSize, std::vector<CompoundEntry>& elements,
                 std::vector<std::vector<std::uint32_t>>& chains,
                 std::vector<std::uint32_t>& miniStream) {
    fileSize_ = src_.Size();
    std::uint8_t h[kHeaderSize];
    if (!src_.Read(0, h, kHeaderSize))
        return Fail("the file is shorter than a compound-file header");
    if (ReadU16(h + kOffByteOrder) != 0xFFFE)
        return Fail("byte order mark is " + Hex(ReadU16(h + kOffByteOrder)) + ", not 0xFFFE");
    version_ = ReadU16(h + kOffMajorVersion);
    const std::uint16_t shift = ReadU16(h + kOffSectorShift);
    if (shift != 9 && shift != 12)
        return Fail("sector shift " + std::to_string(shift) + " (only 9 and 12 exist)");
    if ((version_ == 3 && shift != 9) || (version_ == 4 && shift != 12) ||
        (version_ != 3 && version_ != 4))
        return Fail("version " + std::to_string(version_) + " with sector shift " +
                    std::to_string(shift));
    if (ReadU16(h + kOffMiniSectorShift) != 6)
        return Fail("mini sector shift " + std::to_string(ReadU16(h + kOffMiniSectorShift)) +
                    " (only 6 exists)");
    if (ReadU32(h + kOffMiniCutoff) != kMiniStreamCutoff)
        return Fail("mini stream cutoff " + std::to_string(ReadU32(h + kOffMiniCutoff)) +
                    " (only 4096 exists)");
    ss_ = 1u << shift;
    sectorSize = ss_;
    if (fileSize_ < ss_)
        return Fail("the file ends inside its header sector");
    // Sectors that begin inside the file; a last one cut short is accepted where nothing reads its
    // tail.
    const std::uint64_t sectors = (fileSize_ - ss_ + ss_ - 1) / ss_;
    sectorCount_ = sectors > kMaxRegSect ? kMaxRegSect + 1 : static_cast<std::uint32_t>(sectors);
    claimed_.assign(sectorCount_, false);

    const std::uint32_t fatCount = ReadU32(h + kOffFatCount);
    const std::uint32_t difatCount = ReadU32(h + kOffDifatCount);
    const std::uint32_t miniFatCount = ReadU32(h + kOffMiniFatCount);
    if (fatCount == 0 || fatCount > sectorCount_)
        return Fail("FAT sector count " + std::to_string(fatCount) + " does not fit the file's " +
                    std::to_string(sectorCount_) + " sectors");
    if (difatCount > sectorCount_)
        return Fail("DIFAT sector count " + std::to_string(difatCount) + " exceeds the file's " +
                    std::to_string(sectorCount_) + " sectors");
    if (miniFatCount > sectorCount_)
        return Fail("mini FAT sector count " + std::to_string(miniFatCount) +
                    " exceeds the file's " + std::to_string(sectorCount_) + " sectors");

    std::vector<std::uint32_t> fatSectors;
    if (!ReadDifat(h, fatCount, ReadU32(h + kOffFirstDifat), difatCount, fatSectors))
        return false;
    const std::uint32_t perSector = ss_ / 4;
    fat_.resize(std::size_t(fatCount) * perSector);
    std::vector<std::uint8_t> sector(ss_);
    for (std::size_t i = 0; i < fatSectors.size(); ++i) {
        if (!Claim(fatSectors[i], "FAT") || !ReadSector(fatSectors[i], sector.data(), "FAT"))
            return false;
        for (std::size_t k = 0; k < perSector; ++k)
            fat_[i * perSector + k] = ReadU32(sector.data() + 4 * k);
    }

    std::vector<std::uint32_t> dirChain;
    if (!Walk(ReadU32(h + kOffFirstDir), 0, 0, dirChain, "directory"))
        return false;
    if (dirChain.empty())
        return Fail("the directory is empty");
    std::vector<std::uint8_t> dir(dirChain.size() * ss_);
    for (std::size_t i = 0; i < dirChain.size(); ++i)
        if (!ReadSector(dirChain[i], dir.data() + i * ss_, "directory"))
            return false;
    const std::uint8_t* root = dir.data();
    if (root[kOffEntryType] != kTypeRoot)
        return Fail("the first directory entry is not the root storage");

    miniStreamSize_ = ReadU64(root + kOffEntrySize);
    if (version_ == 3)
        miniStreamSize_ &= 0xFFFFFFFFu;
    if (miniStreamSize_ > fileSize_)
        return Fail("mini stream size " + std::to_string(miniStreamSize_) + " exceeds the file");
    if (miniStreamSize_ > 0) {
        const std::uint64_t n = (miniStreamSize_ + ss_ - 1) / ss_;
        if (!Walk(ReadU32(root + kOffEntryStart), n, miniStreamSize_ - (n - 1) * ss_, miniStream,
                  "mini stream"))
            return false;
    }

    std::vector<std::uint32_t> miniFatChain;
    const std::uint32_t firstMiniFat = ReadU32(h + kOffFirstMiniFat);
    if (miniFatCount > 0 || firstMiniFat != kEndOfChain) {
        if (!Walk(firstMiniFat, miniFatCount, ss_, miniFatChain, "mini FAT"))
            return false;
        miniFat_.resize(miniFatChain.size() * perSector);
        for (std::size_t i = 0; i < miniFatChain.size(); ++i) {
            if (!ReadSector(miniFatChain[i], sector.data(), "mini FAT"))
                return false;
            for (std::size_t k = 0; k < perSector; ++k)
                miniFat_[i * perSector + k] = ReadU32(sector.data() + 4 * k);
        }
    }
    miniClaimed_.assign(miniFat_.size(), false);
    return WalkRoot(dir, ReadU32(root + kOffEntryChild), elements, chains);
}

bool Parser::WalkRoot(const std::vector<std::uint8_t>& dir, std::uint32_t rootChild,
                      std::vector<CompoundEntry>& elements,
                      std::vector<std::vector<std::uint32_t>>& chains) {
    const std::uint32_t count = static_cast<std::uint32_t>(dir.size() / kEntrySize);
    std::vector<bool> visited(count, false);
    visited[0] = true; // the root storage is nobody's sibling
    std::vector<std::uint32_t> stack;
    // In-order walk of the sibling tree; every entry enters the stack once, so the walk ends.
    std::uint32_t cur = rootChild;
    for (;;) {
        while (cur != kNoStream) {
            if (cur >= count)
                return Fail("directory entry index " + std::to_string(cur) + " is out of range (" +
                            std::to_string(count) + " entries)");
            if (visited[cur])
                return Fail("directory tree loops back to entry " + std::to_string(cur));
            visited[cur] = true;
            stack.push_back(cur);
            cur = ReadU32(dir.data() + std::size_t(cur) * kEntrySize + kOffEntryLeft);
        }
        if (stack.empty())
            break;
        const std::uint32_t id = stack.back();
        stack.pop_back();
        const std::uint8_t* e = dir.data() + std::size_t(id) * kEntrySize;
        cur = ReadU32(e + kOffEntryRight);

        const std::string where = "directory entry " + std::to_string(id);
        const std::uint8_t type = e[kOffEntryType];
        if (type != kTypeStorage && type != kTypeStream)
            return Fail(where + " in the tree is of type " + std::to_string(type) +
                        ", not a stream or storage");
        const std::uint16_t nameBytes = ReadU16(e + kOffEntryNameLength);
        if (nameBytes % 2 != 0)
            return Fail(where + ": odd name length " + std::to_string(nameBytes));
        if (nameBytes < 4 || nameBytes > kNameBytes)
            return Fail(where + ": name length " + std::to_string(nameBytes) + " outside 4..64");
        CompoundEntry entry;
        const std::size_t units = nameBytes / 2 - 1;
        if (ReadU16(e + 2 * units) != 0)
            return Fail(where + ": name without terminator");
        for (std::size_t i = 0; i < units; ++i) {
            const char16_t c = ReadU16(e + 2 * i);
            if (c == 0)
                return Fail(where + ": name with an embedded NUL");
            entry.name16 += c;
        }
        entry.name = Utf16ToUtf8(entry.name16);
        entry.isStream = type == kTypeStream;
        std::vector<std::uint32_t> chain;
        if (entry.isStream) {
            entry.size = ReadU64(e + kOffEntrySize);
            if (version_ == 3)
                entry.size &= 0xFFFFFFFFu;
            if (entry.size > fileSize_)
                return Fail(where + ": stream size " + std::to_string(entry.size) +
                            " exceeds the file");
            const std::uint32_t start = ReadU32(e + kOffEntryStart);
            if (entry.size == 0) {
                // Nothing to read; the start sector is not looked at.
            } else if (entry.size < kMiniStreamCutoff) {
                const std::uint64_t n = (entry.size + kMiniSectorSize - 1) / kMiniSectorSize;
                if (!WalkMini(start, n, entry.size - (n - 1) * kMiniSectorSize, chain,
                              where.c_str()))
                    return false;
            } else {
                const std::uint64_t n = (entry.size + ss_ - 1) / ss_;
                if (!Walk(start, n, entry.size - (n - 1) * ss_, chain, where.c_str()))
                    return false;
            }
        }
        elements.push_back(std::move(entry));
        chains.push_back(std::move(chain));
    }
    return true;
}

CompoundFile::CompoundFile() = default;
CompoundFile::~CompoundFile() = default;
CompoundFile::CompoundFile(CompoundFile&&) noexcept = default;
CompoundFile& CompoundFile::operator=(CompoundFile&&) noexcept = default;

void CompoundFile::Clear() {
    source_.reset();
    failure_ = Failure::None;
    error_.clear();
    sectorSize_ = 0;
    elements_.clear();
    chains_.clear();
    miniStream_.clear();
}

bool CompoundFile::Fail(Failure kind, std::string reason) {
    const Failure keep = kind;
    std::string text = std::move(reason);
    Clear();
    failure_ = keep;
    error_ = std::move(text);
    return false;
}

CompoundFile::Failure CompoundFile::Test(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? Failure::Missing : Failure::Unreadable;
    struct stat st {};
    Failure result = Failure::None;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure::Unreadable;
    }
    FdSource file(fd, static_cast<std::uint64_t>(st.st_size)); // closes fd
    std::uint8_t head[kHeaderSize];
    if (!file.Read(0, head, kHeaderSize) ||
        std::memcmp(head, kSignatureBytes, sizeof kSignatureBytes) != 0)
        result = Failure::NotCompound;
    return result;
}

bool CompoundFile::Open(const std::string& path, Access access) {
    Clear();
    const bool write = access == Access::ReadWriteExclusive;
    const int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return Fail(errno == ENOENT || errno == ENOTDIR ? Failure::Missing : Failure::Unreadable,
                    std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(Failure::Unreadable, "not a regular file");
    }
    // Advisory lock: readers share, a writer excludes. A file system without locks does not stop
    // us.
    if (::flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return Fail(Failure::Locked, "locked by another process");
    }
    source_ = std::make_unique<FdSource>(fd, static_cast<std::uint64_t>(st.st_size));
    return Parse();
}

bool CompoundFile::OpenBytes(std::vector<std::uint8_t> bytes) {
    Clear();
    source_ = std::make_unique<MemorySource>(std::move(bytes));
    return Parse();
}

bool CompoundFile::Parse() {
    std::uint8_t head[sizeof kSignatureBytes];
    if (!source_->Read(0, head, sizeof head) || source_->Size() < kHeaderSize)
        return Fail(Failure::NotCompound, "the file is shorter than a compound-file header");
    if (std::memcmp(head, kSignatureBytes, sizeof head) != 0)
        return Fail(Failure::NotCompound, "not a compound file (no signature)");
    std::string reason;
    Parser parser(*source_, reason);
    if (!parser.Run(sectorSize_, elements_, chains_, miniStream_))
        return Fail(Failure::Corrupt, reason);
    return true;
}

int CompoundFile::Find(std::string_view name) const {
    const std::string wanted = FoldCase(name);
    for (std::size_t i = 0; i < elements_.size(); ++i)
        if (FoldCase(elements_[i].name) == wanted)
            return static_cast<int>(i);
    return -1;
}

std::int64_t CompoundFile::Read(int index, std::uint64_t offset, void* buffer, std::size_t size) {
    if (!source_ || index < 0 || static_cast<std::size_t>(index) >= elements_.size() ||
        !elements_[index].isStream) {
        error_ = "no such stream";
        return -1;
    }
    const CompoundEntry& e = elements_[index];
    const std::vector<std::uint32_t>& chain = chains_[index];
    if (offset >= e.size)
        return 0;
    if (size > e.size - offset)
        size = static_cast<std::size_t>(e.size - offset);
    const bool mini = e.size < kMiniStreamCutoff;
    const std::uint32_t unit = mini ? kMiniSectorSize : sectorSize_;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const std::uint64_t pos = offset + done;
        const std::uint64_t k = pos / unit;
        const std::uint32_t within = static_cast<std::uint32_t>(pos % unit);
        const std::size_t n = std::min<std::size_t>(size - done, unit - within);
        std::uint64_t fileOffset;
        if (mini) {
            const std::uint64_t inMini = std::uint64_t(chain[k]) * kMiniSectorSize + within;
            fileOffset = (std::uint64_t(miniStream_[inMini / sectorSize_]) + 1) * sectorSize_ +
                         inMini % sectorSize_;
        } else {
            fileOffset = (std::uint64_t(chain[k]) + 1) * sectorSize_ + within;
        }
        if (!source_->Read(fileOffset, out + done, n)) {
            error_ = "cannot read stream \"" + e.name + "\" at offset " + std::to_string(pos);
            return -1;
        }
        done += n;
    }
    return static_cast<std::int64_t>(done);
}

bool CompoundFile::ReadAll(int index, std::vector<std::uint8_t>& out) {
    out.clear();
    if (index < 0 || static_cast<std::size_t>(index) >= elements_.size())
        return false;
    out.resize(static_cast<std::size_t>(elements_[index].size));
    return Read(index, 0, out.data(), out.size()) == static_cast<std::int64_t>(out.size());
}

} // namespace quillon
