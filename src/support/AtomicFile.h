#pragma once
// Writing a file so that no partial file is ever seen at its name: the content goes to a fresh
// temporary file beside the destination (created with O_CREAT|O_EXCL|O_NOFOLLOW, so a planted
// file or link at that name is never written through), which is renamed to the destination
// only when everything was written. An unfinished temporary file is removed by the destructor.
#include <cstddef>
#include <string>

namespace quillon {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `path` (permissions `mode` less the umask). False with
    // Error().
    bool Begin(const std::string& path, unsigned mode = 0666);
    // Appends bytes; false with Error() on a write error (the file is then abandoned).
    bool Write(const void* data, std::size_t size);
    // Closes the temporary file and gives it the destination's name. With `replace` an existing
    // destination (even a symbolic link: the link itself) is replaced; without it an existing
    // destination makes Commit fail and stay untouched. False with Error(); the temporary file is
    // removed either way.
    bool Commit(bool replace = true);
    // Removes the temporary file now.
    void Abandon();

    const std::string& Error() const { return error_; }
    const std::string& TempPath() const { return temp_; }

private:
    bool Fail(std::string reason);
    int fd_ = -1;
    std::string path_;
    std::string temp_;
    std::string error_;
};

} // namespace quillon
