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

private:
    struct Entry {
        bool comment = false;
        std::string name;        // value name; empty = the default value (@)
        RegistryValue value;
        std::string raw;         // text as read (comment line, or the value's joined lines)
    };
    struct Key {
        std::string path;        // full path as written, root name included
        std::vector<Entry> entries;
        std::uint64_t order = 0; // position in the file
        bool implicit = false;   // only implied by a subkey; not written while empty
    };

    static std::string RootName(RegistryRoot root);
    static std::string FullPath(RegistryRoot root, std::string_view path);
    Key* FindKey(const std::string& fullPath);
    Key& MakeKey(const std::string& fullPath, bool implicit);
    void RemoveKeyTree(const std::string& fullPath);
    static Entry* FindValue(Key& key, std::string_view name);

    std::map<std::string, Key> keys_; // by case-folded full path
    std::vector<std::string> header_; // comment lines before the first key
    std::uint64_t nextOrder_ = 0;
    Encoding encoding_ = Encoding::Utf8;
    bool crlf_ = false;
};

} // namespace quillon::posix
