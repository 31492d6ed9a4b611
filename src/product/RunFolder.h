#pragma once
// The private folder one installer run keeps its files in (unpacked dictionaries), and the
// clean-up of what killed runs left behind. Layout and rules: docs/work-folders.md.
#include <memory>
#include <string>

namespace quillon {

class RunFolder {
public:
    // Makes a new folder `base` + `prefix` + six random characters (mkdtemp, mode 0700) and holds
    // an exclusive flock on the folder itself for as long as the object lives, so other runs can
    // tell it is in use. `base` ends in '/' and must be private to this user. Null with
    // `error` set (naming the path and the reason) when it cannot be made.
    static std::unique_ptr<RunFolder> Create(const std::string& base, const std::string& prefix,
                                             std::string& error);
    // Removes the folder and everything in it, then lets the lock go.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // The folder, ending in '/'.
    const std::string& Path() const { return path_; }

private:
    RunFolder(std::string path, int lock) : path_(std::move(path)), lock_(lock) {}
    std::string path_;
    int lock_;
};

// Removes the folders `base` + `prefix` + … that belong to this user and that no living run
// holds (their flock is free). A folder of a running installer is left alone. Answers how many
// were removed.
int RemoveStaleRunFolders(const std::string& base, const std::string& prefix);

// The run folder of this installer run: below the per-user work folder (GetUserWorkFolder) as
// "run-XXXXXX/"; when that folder cannot be used, a private "quillon-<uid>-XXXXXX/" folder in
// the system temporary folder. Stale run folders of earlier runs in the same place are removed
// first. Null with `error` set when no private folder can be had.
std::unique_ptr<RunFolder> OpenRunFolder(std::string& error);

// Prepares `path` (in a folder private to this user) for a new file made with O_EXCL: true when
// nothing is there, or what is there was ours — a regular file owned by this user with a single
// link — and has been removed. Otherwise false with `error` saying why; the file is untouched.
bool ClearOwnFile(const std::string& path, std::string& error);

// Copies what is left to read of `source` (a descriptor open for reading) into the new file `to`,
// made with O_EXCL|O_NOFOLLOW, mode 0600 (nothing planted at the name is written through). A
// failed copy is deleted. `writeFailed`, when given, tells a failure to create or write `to`
// (a full disk) from one to read the source.
bool CopyToNewFile(int source, const std::string& to, bool* writeFailed = nullptr);

// Deletes an unpacked file of the run folder, when it is a regular file, and its companion
// (DeleteAl2Companion). A missing file is no error.
void DeleteUnpacked(const std::string& path);

} // namespace quillon
