#pragma once
// Reader of Compound File Binary files (the structured-storage format of setup.inf and of MSI
// packages): version 3 (512-byte sectors) and version 4 (4096-byte sectors).
//
// Only what the installer needs: the elements of the root storage (name, stream or storage,
// size) and the content of one of its streams. Open() checks the whole structure the root
// storage relies on before it answers true, so later reads meet no surprise:
//   - header: signature, byte order, version 3 with sector shift 9 or version 4 with shift 12,
//     mini sector shift 6, mini stream cutoff 4096, every count bounded by the file's sectors;
//   - DIFAT (header entries, then the DIFAT sector chain), FAT, directory chain, mini FAT chain,
//     mini stream chain and every root-level stream's chain: each sector id below the file's
//     sector count and outside the reserved range, each sector used by one chain at most (so a
//     loop or two chains sharing sectors are found in one pass: time and memory stay linear in
//     the file's size), each chain exactly as long as its size requires, every byte inside the
//     file;
//   - directory: the root storage first, the root storage's sibling tree walked without
//     recursion (each entry once; an index out of range, a loop or an unused entry in the tree
//     fails), names with a terminator and an even length of at most 64 bytes.
// Accepted deviations seen in real files: a FAT longer than the file needs, a DIFAT chain ending
// in FREESECT instead of ENDOFCHAIN, a last sector cut short where nothing uses its tail, any
// value in the root storage's unused fields (sibling links, colour, times, the start sector of an
// empty mini stream, a stream's start sector when it is empty), the upper 32 bits of a version-3
// stream size (ignored, as older writers left them uninitialised).
//
// Every failure leaves Error() with a one-line reason and Failure() with its kind.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct CompoundEntry {
    std::string name;       // UTF-8
    std::u16string name16;  // as stored, without the terminator
    bool isStream = false;  // otherwise a storage
    std::uint64_t size = 0; // streams only
};

class CompoundFile {
public:
    enum class Failure {
        None,
        Missing,     // the file does not exist
        Unreadable,  // it cannot be opened or read, or is not a regular file
        NotCompound, // shorter than a header, or without the compound-file signature
        Locked,      // another process holds a conflicting lock on it
        Corrupt,     // it has the signature but its structure is broken
    };
    enum class Access {
        Read,               // read-only; others may read too (shared advisory lock)
        ReadWriteExclusive, // opened for reading and writing with an exclusive advisory lock
    };

    CompoundFile();
    ~CompoundFile();
    CompoundFile(CompoundFile&&) noexcept;
    CompoundFile& operator=(CompoundFile&&) noexcept;
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    // Failure::None when `path` can be read and begins with the signature; otherwise Missing,
    // Unreadable or NotCompound.
    static Failure Test(const std::string& path);

    // Opens and checks a file (see above). False with Failure() and Error() set.
    bool Open(const std::string& path, Access access = Access::Read);
    // The same over bytes in memory.
    bool OpenBytes(std::vector<std::uint8_t> bytes);

    Failure LastFailure() const { return failure_; }
    const std::string& Error() const { return error_; }

    // The root storage's elements, in the order of their names in the directory tree.
    const std::vector<CompoundEntry>& Elements() const { return elements_; }
    // Index of the element named `name` (UTF-8), letter case ignored; -1 when none.
    int Find(std::string_view name) const;

    // Copies up to `size` bytes of stream `index` from `offset` into `buffer`; answers the count
    // (0 at or after the end) or -1 when the file cannot be read (Error() tells why) or `index`
    // is not a stream.
    std::int64_t Read(int index, std::uint64_t offset, void* buffer, std::size_t size);
    // The whole stream; false when it cannot be read.
    bool ReadAll(int index, std::vector<std::uint8_t>& out);

    // Sector size of the open file (512 or 4096), 0 when none is open.
    std::uint32_t SectorSize() const { return sectorSize_; }

    class Source; // the file or bytes being read (CompoundFile.cpp)

private:
    bool Fail(Failure kind, std::string reason);
    bool Parse();
    void Clear();

    std::unique_ptr<Source> source_;
    Failure failure_ = Failure::None;
    std::string error_;
    std::uint32_t sectorSize_ = 0;
    std::vector<CompoundEntry> elements_;
    std::vector<std::vector<std::uint32_t>> chains_; // per element: its sectors (regular or mini)
    std::vector<std::uint32_t> miniStream_;          // the mini stream's regular sectors
};

} // namespace quillon
