#pragma once
// Descriptor helpers shared by the dictionary file's I/O and its streaming writer.
#include "support/FileDescriptor.h"

#include <cstdint>
#include <string>

namespace kaldo::fileio {

// "path: reason" from errno.
std::string Errno(const std::string& path);

// A descriptor closed on every path.
using Fd = quillon::FileDescriptor;

// Whole reads and writes at an offset; false on an error or an early end.
bool PreadAll(int fd, void* data, std::size_t size, std::uint64_t offset);
bool PwriteAll(int fd, const void* data, std::size_t size, std::uint64_t offset);

// The folder holding `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// A new temporary file beside `path`; -1 with `error` set on failure.
int CreateTemporary(const std::string& path, std::string& temp, std::string& error);

} // namespace kaldo::fileio
