#pragma once
// Reading a descriptor until a buffer is full.
#include <cstddef>

namespace quillon {

// Reads up to `size` bytes from `fd` into `data` (again after EINTR); fewer only at the end of
// the file or on an error, which sets `failed` (left as it was otherwise).
std::size_t ReadUpTo(int fd, void* data, std::size_t size, bool& failed);

} // namespace quillon
