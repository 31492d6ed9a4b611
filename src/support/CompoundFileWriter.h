#pragma once
// Writer of Compound File Binary files: one root storage holding streams (what setup.inf needs).
// Version 3 (512-byte sectors) by default; version 4 (4096-byte sectors) on request. Streams
// under 4096 bytes go to the mini stream, larger ones to regular sectors; the DIFAT grows beyond
// the header's 109 entries when the FAT needs it. The directory's sibling tree is a balanced
// binary search tree in the format's name order (shorter names first, then code unit by code
// unit after upper-casing), coloured so that it is a valid red-black tree.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class CompoundFileWriter {
public:
    explicit CompoundFileWriter(int version = 3);

    // Adds a stream of the root storage. False (with Error()) when the name is empty, longer than
    // 31 UTF-16 units, holds '/', '\', ':', '!' or a control character, equals an earlier
    // name apart from letter case, or when the file would grow past the format's limit.
    bool AddStream(std::string_view name, std::vector<std::uint8_t> content);

    // The whole file.
    std::vector<std::uint8_t> Build() const;
    // Writes Build() to `path` through a temporary file in the same folder, renamed over `path`
    // when complete; nothing is left behind on failure. False with Error().
    bool WriteFile(const std::string& path);

    const std::string& Error() const { return error_; }

    // The format's order of two names (negative, zero, positive), upper-casing ASCII, Latin-1
    // and Cyrillic letters.
    static int CompareNames(std::u16string_view a, std::u16string_view b);

private:
    struct Stream {
        std::u16string name;
        std::vector<std::uint8_t> content;
    };
    int version_;
    std::vector<Stream> streams_;
    std::uint64_t total_ = 0;
    std::string error_;
};

} // namespace quillon
