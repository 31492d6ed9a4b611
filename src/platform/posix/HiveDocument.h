#pragma once
// A registry hive in the Windows Registry Editor 5.00 text format, held in memory.
//
// Reads UTF-8 (with or without BOM) and UTF-16LE-with-BOM files: [key] and [-key] lines,
// "name"="text" (\\ and \" escapes), @= default values, dword:, hex:, hex(N): values, lines
// continued with a trailing '\', "name"=- deletions and ';' comments. Writing keeps the file's
// encoding, its comments, its keys under other roots and every value it did not change, as
// written. A malformed file does not load at all: Parse reports the line and nothing else.
//
// HiveDocument is also the in-memory RegistryStore that tests use.
#include "platform/RegistryStore.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::posix {

class HiveDocument : public RegistryStore {
public:
    enum class Encoding { Utf8, Utf8Bom, Utf16Le };

    HiveDocument() = default;

    // Parses the bytes of a hive file; on failure `error` says "line N: what".
    static std::optional<HiveDocument> Parse(std::string_view bytes, std::string& error);
    // The file's bytes in its encoding.
    std::string Serialize() const;

    Encoding FileEncoding() const { return encoding_; }

    long OpenKey(RegistryRoot root, std::string_view path, bool create) override;
    long QueryValue(RegistryRoot root, std::string_view path, std::string_view name, RegistryValue& out) override;
    long EnumSubkey(RegistryRoot root, std::string_view path, std::uint32_t index, std::string& name) override;
    long SetValue(RegistryRoot root, std::string_view path, std::string_view name, const RegistryValue& value) override;
    long DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) override;
    long DeleteKey(RegistryRoot root, std::string_view path) override;

    // What a reader of the document sees, one line per written key ("key PATH") and value
    // ("value NAME TYPE HEX-DATA"), in the order Serialize writes them: a write and a parse
    // must give the same lines (the fuzz target checks it).
    std::vector<std::string> Contents() const;

    // Bounds of the format, as the Windows registry has them: a key lies at most 512 levels
    // below its root, a key's own name has at most 255 characters, a value's name 16 383.
    // A file beyond them does not load; a call beyond them answers regerr::InvalidParameter.
    static constexpr std::size_t kMaxKeyDepth = 512;
    static constexpr std::size_t kMaxKeyNameLength = 255;
    static constexpr std::size_t kMaxValueNameLength = 16383;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    struct Entry {
        bool comment = false;
        bool erased = false;     // deleted; kept so that positions stay valid
        std::string name;        // value name; empty = the default value (@)
        RegistryValue value;
        std::string raw;         // text as read (comment line, or the value's joined lines)
    };
    // One level of the key tree; a key holds its own name only, so a deep key costs memory in
    // proportion to its depth, not to the square of it.
    struct Key {
        std::string name; // as written; a root's is "HKEY_…"
        std::size_t parent = kNone;
        std::map<std::string, std::size_t> children; // by case-folded name
        std::vector<Entry> entries;
        std::map<std::string, std::size_t> values; // case-folded value name -> entry
        bool implicit = false;   // only implied by a subkey; not written while empty
        bool live = true;        // false once removed
    };

    static std::string RootName(RegistryRoot root);
    static std::string FullPath(RegistryRoot root, std::string_view path);
    // The levels of a full path, root first; empty components are skipped.
    static std::vector<std::string_view> Levels(std::string_view fullPath);
    // Empty when the levels are within the bounds, else what is wrong.
    static std::string CheckLevels(const std::vector<std::string_view>& levels);
    std::size_t FindKey(std::string_view fullPath) const;
    std::size_t MakeKey(const std::vector<std::string_view>& levels, bool implicit);
    std::string PathOf(std::size_t key) const;
    void RemoveKeyTree(std::size_t key);
    Entry* FindValue(std::size_t key, std::string_view name);
    void AddValue(std::size_t key, Entry entry);
    void EraseValue(std::size_t key, Entry& entry);

    // Where the last EnumSubkey stopped, so that listing n subkeys in order costs n steps, not
    // n²/2. Any change to the tree forgets it; a copy starts without one (`at` would belong to
    // the other document's map).
    struct EnumCursor {
        std::size_t key = kNone;
        std::uint32_t index = 0;
        std::map<std::string, std::size_t>::const_iterator at;
        EnumCursor() = default;
        EnumCursor(const EnumCursor&) {}
        EnumCursor& operator=(const EnumCursor&) {
            key = kNone;
            return *this;
        }
    };

    std::vector<Key> keys_;                    // in the order of first appearance
    std::map<std::string, std::size_t> roots_; // by case-folded root name
    EnumCursor cursor_;
    std::vector<std::string> header_;          // comment lines before the first key
    Encoding encoding_ = Encoding::Utf8;
    bool crlf_ = false;
};

} // namespace quillon::posix
