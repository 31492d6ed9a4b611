#pragma once
// Disk faults for end-to-end tests: a small file system that fills up, and a preloaded library
// (testsupport/WriteFaultShim.cpp) that fails chosen writes of a child program.
//
// The small file system is a 4 MiB tmpfs mounted in a mount namespace private to the test
// process (so it disappears with the process, whatever happens). Where the machine does not
// allow that (not root, no namespaces), Mounted() is false and a test gives ENOSPC through the
// preloaded library instead. QUILLON_TEST_NO_MOUNT set in the environment makes it so on any
// machine (to try that path).
#include <string>

namespace quillon::test {

class SmallDisk {
public:
    // Mounts the file system at `folder` (created when missing).
    explicit SmallDisk(std::string folder);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Folder() const { return folder_; }
    // Takes space with a filler file until at most `leave` bytes are free; false when the free
    // space could not be brought there.
    bool Fill(unsigned long long leave);
    // Removes the filler.
    void Unfill();
    unsigned long long FreeBytes() const;

private:
    std::string folder_;
    bool mounted_ = false;
};

// The environment (as "NAME=value" words for `env`, shell-quoted) that makes a child's writes to
// files whose path contains `pathPart` fail with `error` ("EIO", "ENOSPC") from the `nth` such
// write on: only that one (`always` false) or every one after it too.
std::string WriteFault(const std::string& error, int nth, bool always, const std::string& pathPart);
// The same for every fsync of such a file, its writes passing.
std::string SyncFault(const std::string& error, const std::string& pathPart);

} // namespace quillon::test
