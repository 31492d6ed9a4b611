#pragma once
// The reference product's dictionary file: reader and writer (layout in docs/dictionary-files.md).
//
// A file has a *head* (format version, the 96-byte header block, named properties) and a *body*
// (the entries). In the slotted layout the head lives in two fixed-size slots, each with its own
// checksum and a generation number: a head change is written in place into the slot not in use,
// so it costs work proportional to the head, and a torn write leaves the other slot, the old
// head, in force. The body's checksum and length are kept in the head and computed once, when
// the file is made. Files of the older whole-file layout (one checksum over every byte) stay
// readable; their first head change rewrites them in the slotted layout.
//
// Every reader checks before it uses a field: magic, version 1..5, header length, slot bounds,
// every count and length bounded by the bytes that remain, and the checksums. Nothing here
// reads a whole file into memory except ParseDictionary/ReadDictionaryFile (for tools and
// tests, bounded by kMaxFileSize).
#include "support/Crc32.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kaldo {

inline constexpr std::uint16_t kMinDictVersion = 1;
inline constexpr std::uint16_t kMaxDictVersion = 5;
inline constexpr std::size_t kHeaderBlockSize = 96;
inline constexpr std::size_t kTitleOffset = 6;    // in the header block
inline constexpr std::size_t kTitleSize = 16;
// Named properties exist from this version on.
inline constexpr std::uint16_t kPropertiesVersion = 4;
inline constexpr std::size_t kMaxNameLength = 255;
// A head slot's size: at least this (room for the properties to grow), at most kMaxSlotSize.
inline constexpr std::uint32_t kDefaultSlotSize = 16384;
inline constexpr std::uint32_t kMaxSlotSize = 16u << 20;
// The largest file read whole into memory (ParseDictionary, ReadDictionaryFile).
inline constexpr std::size_t kMaxFileSize = 512u * 1024 * 1024;

struct DictionaryEntry {
    std::string word;                 // UTF-8
    std::vector<std::string> lines;   // translations, UTF-8
    bool operator==(const DictionaryEntry&) const = default;
};

// What a head change touches: the format version, the header block and the named properties.
class DictionaryHead {
public:
    DictionaryHead();

    std::uint16_t Version() const { return version_; }
    void SetVersion(std::uint16_t version) { version_ = version; }

    // The header block as stored; link attributes, title, level, direction and GUID live in it.
    const std::array<std::uint8_t, kHeaderBlockSize>& Header() const { return header_; }
    void SetHeader(const std::array<std::uint8_t, kHeaderBlockSize>& block) { header_ = block; }

    std::int32_t LinkNumber() const;
    void SetLinkNumber(std::int32_t value);
    std::uint8_t LinkCode() const;
    void SetLinkCode(std::uint8_t value);
    std::int32_t FormatLevel() const;
    void SetFormatLevel(std::int32_t value);
    std::uint32_t DirectionId() const;
    void SetDirectionId(std::uint32_t value);
    // Registry form "{...}", or empty when the field is blank.
    std::string Guid() const;
    void SetGuid(std::string_view guid);   // at most 38 characters are kept
    // The title field: CP1251 bytes up to the first zero (at most 15).
    std::string TitleBytes() const;
    void SetTitleBytes(std::string_view cp1251);   // truncated to 15 bytes + zero

    // Named properties (version 4 and later only; ignored when writing older versions).
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& Properties() const { return properties_; }
    const std::vector<std::uint8_t>* FindProperty(std::string_view name) const;
    // False when the name is empty or longer than kMaxNameLength.
    bool SetProperty(std::string_view name, std::vector<std::uint8_t> bytes);

    bool operator==(const DictionaryHead&) const = default;

private:
    std::uint16_t version_ = kPropertiesVersion;
    std::array<std::uint8_t, kHeaderBlockSize> header_{};
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> properties_;
};

// A whole dictionary in memory: its head and its entries.
class DictionaryFile : public DictionaryHead {
public:
    std::vector<DictionaryEntry>& Entries() { return entries_; }
    const std::vector<DictionaryEntry>& Entries() const { return entries_; }
    bool operator==(const DictionaryFile&) const = default;

private:
    std::vector<DictionaryEntry> entries_;
};

enum class DictionaryLayout { Legacy, Slotted };

// A file's head and where its body lies, as read from disk.
struct DictionaryHeadInfo {
    DictionaryHead head;
    DictionaryLayout layout = DictionaryLayout::Slotted;
    std::uint64_t fileSize = 0;
    std::uint64_t bodyOffset = 0;
    std::uint64_t bodyLength = 0;
    // Slotted: the body's CRC-32 and entry count from the head. Legacy: the whole-file CRC of
    // the trailer, and the entry count at the start of the body.
    std::uint32_t bodyCrc = 0;
    std::uint64_t entryCount = 0;
    std::uint32_t slotSize = 0;       // slotted only
    std::uint64_t generation = 0;     // slotted only: the generation of the head in force
    int slot = 0;                     // slotted only: its slot (0 or 1)
};

// The file's bytes in the slotted layout (head in slot A, slot B unused), and in the legacy
// whole-file layout (for tests and old tools).
std::string SerializeDictionary(const DictionaryFile& file, std::uint32_t slotSize = kDefaultSlotSize);
std::string SerializeLegacyDictionary(const DictionaryFile& file);
// Parses a whole file of either layout; on failure `error` says what is wrong.
std::optional<DictionaryFile> ParseDictionary(std::string_view bytes, std::string& error);

// The head of a slotted file from its first `available` bytes (at least its body offset) and its
// size; nothing (with `error`) when they are not the start of an intact slotted file.
std::optional<DictionaryHeadInfo> ParseSlottedHead(const std::uint8_t* data, std::size_t available,
                                                   std::uint64_t fileSize, std::string& error);

// Reads the head of `path` (either layout) without reading the body; a legacy file's one
// checksum covers every byte, so for it the whole file is checked, streaming. Only a regular
// file is read.
std::optional<DictionaryHeadInfo> ReadDictionaryHead(const std::string& path, std::string& error);

// Writes `head` as the file's new head. Slotted, and the head fits its slot: in place, into the
// slot not in force, with the next generation. Otherwise (a legacy file, or a head that outgrew
// its slot) the file is rewritten in the slotted layout, streaming its body, and renamed over.
// `durable`: the change reaches the disk before the call returns. The file is never written
// through a symbolic link.
bool WriteDictionaryHead(const std::string& path, const DictionaryHead& head, bool durable, std::string& error);

// Checks the whole file, streaming: its head, its body's checksum and length, and that every
// entry is well formed. `info` receives the head when given.
bool VerifyDictionary(const std::string& path, std::string& error, DictionaryHeadInfo* info = nullptr);

// Reads a whole file (at most kMaxFileSize bytes) into memory; for tools and tests.
std::optional<DictionaryFile> ReadDictionaryFile(const std::string& path, std::string& error);
// Writes `path` atomically in the slotted layout (temporary file beside it, fsync, rename).
bool WriteDictionaryFile(const std::string& path, const DictionaryFile& file, std::string& error);

// Makes a dictionary file entry by entry, in bounded memory: a temporary file beside `path`,
// renamed over it by Finish; abandoned (deleted) when Finish is not reached.
class DictionaryWriter {
public:
    DictionaryWriter() = default;
    ~DictionaryWriter();
    DictionaryWriter(const DictionaryWriter&) = delete;
    DictionaryWriter& operator=(const DictionaryWriter&) = delete;

    // `slotSize`: the head slots' size (a multiple of 4096); the head given to Finish must fit.
    bool Open(const std::string& path, std::string& error, std::uint32_t slotSize = kDefaultSlotSize);
    // Entries longer than the format allows (a word over 65 535 bytes, more than 65 535 lines)
    // are cut, as the in-memory writer cuts them.
    bool Add(const DictionaryEntry& entry, std::string& error);
    // Writes the head, syncs, renames over the destination.
    bool Finish(const DictionaryHead& head, std::string& error);
    std::uint64_t EntryCount() const { return entries_; }
    std::uint64_t BodyLength() const { return bodyLength_; }

private:
    bool Flush(std::string& error);

    std::string path_, temp_;
    int fd_ = -1;
    std::uint32_t slotSize_ = kDefaultSlotSize;
    std::string buffer_;
    quillon::Crc32 crc_;   // of the body so far
    std::uint64_t entries_ = 0, bodyLength_ = 0;
};

// Whole-file helpers shared by the product: read a file of at most `limit` bytes, and write
// bytes atomically.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error, std::size_t limit = kMaxFileSize);
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

} // namespace kaldo
