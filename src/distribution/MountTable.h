#pragma once
// The kernel's table of mounted file systems (/proc/self/mounts), as far as the source search
// needs it: where optical media are mounted. Built from text so that tests can give their own.
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct MountEntry {
    std::string device;
    std::string
        mountPoint; // decoded: "\040" is a blank, "\011" a tab, "\012" a newline, "\134" a '\'
    std::string type;
};

class MountTable {
public:
    MountTable() = default;
    // Lines of "device mount-point type options dump pass"; a line with fewer than three fields
    // is skipped.
    static MountTable Parse(std::string_view text);
    // The table in the file `path`; empty when it cannot be read (at most 4 MiB are read).
    static MountTable Load(const std::string& path);

    const std::vector<MountEntry>& Entries() const { return entries_; }

    // The mount points of optical media (types "iso9660" and "udf"), each ending in '/', in table
    // order; a mount point listed twice (one medium mounted over another) counts once, at its
    // first place.
    std::vector<std::string> OpticalRoots() const;

private:
    std::vector<MountEntry> entries_;
};

// Decodes the octal escapes (a backslash and three octal digits) of a mount table field.
std::string DecodeMountField(std::string_view field);

} // namespace quillon
