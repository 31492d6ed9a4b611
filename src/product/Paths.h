#pragma once
// Path utilities. The native separator is '/'; a description file's relative paths may use '\'.
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Appends '/' unless `path` is empty or already ends in '/' or '\'.
void AppendBackslash(std::string& path);
// AppendBackslash, then `name`.
void AppendPath(std::string& path, std::string_view name);

// True when `path` names an existing file that is not a folder.
bool FileExists(const std::string& path);
// True when something exists at `path` (a trailing separator is ignored; "/" is the root).
bool PathExists(const std::string& path);

// Deletes the companion of a file, when it exists: the file in the same folder named after the
// file's name with every '.' turned into '_', followed by ".al2" (DICT.ER -> DICT_ER.al2).
void DeleteAl2Companion(const std::string& path);

// The full path of `relative` (separated by '\' or '/') below the folder `root`, every component
// spelled as it is found on disk when the exact spelling is missing but one differing only in
// letter case exists. Answers nothing for a path that could leave `root`: absolute, with a drive
// prefix, with a ".." component or a NUL, nor for one on which a symbolic link lies below the
// real location of `root`. A path that does not exist is still answered (with the spelling
// given) so the caller reports the missing file. One lookup of a DistributionFolder
// (product/DistributionFolder.h), which callers with many lookups keep instead.
std::optional<std::string> ResolveBelow(const std::string& root, std::string_view relative);

// `path` made absolute against the current folder, as given otherwise (no link is followed,
// "." and ".." stay): a distribution named relatively must not end up in the paths the product
// keeps, which outlive the current folder. Empty stays empty.
std::string AbsolutePath(const std::string& path);

// True when `name` can be a file name inside one folder: not empty, not "." or "..", without
// '/', '\', NUL or a drive prefix.
bool IsSafeFileName(std::string_view name);

} // namespace quillon
