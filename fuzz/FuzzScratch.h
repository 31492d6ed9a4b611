#pragma once
// A private scratch folder for targets whose reader takes a path: made once per process with
// mkdtemp (0700) under /dev/shm when it can be written, else $TMPDIR, and removed at exit.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::fuzz {

// The folder, ending in '/'.
const std::string& ScratchFolder();
// Writes `size` bytes to `path` (created or truncated); false when that fails.
bool WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size);

} // namespace quillon::fuzz
