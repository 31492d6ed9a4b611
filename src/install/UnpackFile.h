#pragma once
// Unpacking of the distribution's packed dictionary files (format: install/PackedFormat.h,
// docs/packed-format.md).
#include "support/ByteBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// Results of UnpackFile, UnpackToMemory and VerifyPackedFile.
enum UnpackResult : int {
    kUnpackOk = 0,              // unpacked, checksum correct; destination complete
    kUnpackSourceError = -1,    // source cannot be opened for reading; destination untouched
    kUnpackCreateError = -2,    // destination cannot be created; not created
    kUnpackWriteError = -4,     // writing the destination failed; destination deleted
    kUnpackBadHeader = -5,      // header shorter than 16 bytes, wrong magic or version not 1;
                                // destination untouched
    kUnpackChecksumError = -6,  // CRC of the unpacked data differs from the header's; deleted
    kUnpackTooLarge = -7,       // the output passed the limit given, or the file-size limit of
                                // the process (EFBIG); deleted
    kUnpackCancelled = -9,      // cancelled through the callback; destination left as written
                                // so far, for the caller to delete
};

// Progress callback: percent is 65535 once at the start, then 0 .. 100. Answers non-zero to go
// on, zero to cancel (the answer to 65535 is ignored). Runs synchronously on the caller's thread.
using UnpackCallback = int (*)(std::uint16_t percent, void* context);

// How UnpackFile makes its destination: Replace creates or truncates it (a file the user named);
// New creates it only when nothing is at that name (O_EXCL, mode 0600: the installer's own files).
enum class UnpackTarget { Replace, New };

// Unpacks `source` into `destination` (made as `target` says, never through a symbolic link).
// Progress: 0 after the header, then bytes-read × 100 / source size each time the body bytes
// read reach a multiple of max(source size / 100, 1024), then 100. A destination that is the
// source itself counts as one that cannot be created. `callback` may be null.
int UnpackFile(const std::string& source, const std::string& destination, UnpackCallback callback,
               void* context, UnpackTarget target = UnpackTarget::Replace);
// The same from `source`, a regular file open for reading at its start (the caller keeps and
// closes it). `outputLimit`: when not 0, unpacking stops with kUnpackTooLarge once the output
// passes it (a packed file that would fill the disk far beyond what it declared).
int UnpackFile(int source, const std::string& destination, UnpackCallback callback, void* context,
               UnpackTarget target, std::uint64_t outputLimit = 0);

// Checks a packed file without writing anything: 0, -1, -5 or -6 as UnpackFile.
int VerifyPackedFile(const std::string& source);

// Decodes a whole packed file held in memory (header included) into `output` with the same
// decoder: 0, -5 or -6 as UnpackFile. From 1 MiB of packed data a second thread computes the
// CRC behind the decoder.
int UnpackToMemory(const void* packed, std::size_t size, ByteBuffer& output);

// System-call seam for fault injection: the function UnpackFile writes with (::write when
// null). Answers the previous one.
using UnpackWriteFunction = long (*)(int fd, const void* data, std::size_t size);
UnpackWriteFunction SetUnpackWriteFunction(UnpackWriteFunction function);

} // namespace quillon
