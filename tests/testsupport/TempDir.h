#pragma once
// A scratch folder removed with its content at the end of the scope.
#include <string>
#include <string_view>

namespace quillon::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing '/'.
    const std::string& Path() const { return path_; }
    // Path() + "/" + relative
    std::string operator/(std::string_view relative) const;
    // Writes a file below the folder (folders created as needed); answers its full path.
    std::string Write(std::string_view relative, std::string_view content) const;

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);

} // namespace quillon::test
