#pragma once
// The machine's registry: a hive file (HiveDocument's format) shared by every process.
//
// Reads see the file as its last writer left it (it is replaced atomically). A write takes an
// advisory lock on "<hive>.lock", re-reads the file, applies the change, writes "<hive>.tmp",
// fsyncs it and renames it over the hive, so concurrent writers never lose each other's writes
// and a killed writer leaves the old file intact. When the hive's path is a symbolic link, all
// of that happens beside the file the link leads to, and the link stays. A malformed hive, or
// one that is not a regular file (a FIFO, a folder), answers regerr::BadDb to every call and is
// never overwritten; Error() names the file and says what is wrong (which line, for a
// malformed one).
#include "platform/posix/HiveDocument.h"

#include <functional>
#include <mutex>
#include <string>

namespace quillon::posix {

class HiveRegistry : public RegistryStore {
public:
    explicit HiveRegistry(std::string path);

    // $QUILLON_REGISTRY, else /etc/velmar-soft/registry.reg.
    static std::string DefaultPath();
    const std::string& Path() const { return path_; }
    // The last load or write failure ("registry.reg: line 7: ..."), empty when none.
    std::string Error() const;
    // Reads the hive when it changed; answers regerr::Success, or the failure that Error()
    // describes (a front end reports it before anything else).
    long Check();

    long OpenKey(RegistryRoot root, std::string_view path, bool create) override;
    long QueryValue(RegistryRoot root, std::string_view path, std::string_view name, RegistryValue& out) override;
    long EnumSubkey(RegistryRoot root, std::string_view path, std::uint32_t index, std::string& name) override;
    long SetValue(RegistryRoot root, std::string_view path, std::string_view name, const RegistryValue& value) override;
    long DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) override;
    long DeleteKey(RegistryRoot root, std::string_view path) override;

    // Several changes as one write: `change` edits the freshly read document and answers a
    // registry error code; on success the document is saved. Answers the first failure.
    long Update(const std::function<long(HiveDocument&)>& change);

private:
    struct FileStamp {
        unsigned long long dev = 0, ino = 0, size = 0;
        long long mtimeNs = 0;
        bool exists = false;
        bool operator==(const FileStamp&) const = default;
    };
    long Refresh();                                  // loads the file when it changed
    long Load(HiveDocument& doc, FileStamp& stamp);  // reads and parses the file as it is now
    long Save(const HiveDocument& doc,
              const std::string& target); // target: path_ with links followed

    std::string path_;
    mutable std::mutex mutex_;
    HiveDocument cache_;
    FileStamp stamp_;
    bool loaded_ = false;
    long loadResult_ = regerr::Success;
    std::string error_;
};

} // namespace quillon::posix
